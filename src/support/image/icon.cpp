#include "support/image/icon.h"

#include <utility>

#include "support/image/png.h"

namespace trovex::image {
namespace {

std::uint32_t ReadLe32(std::span<const std::uint8_t> d, std::size_t at) {
  return std::uint32_t{d[at]} | (std::uint32_t{d[at + 1]} << 8) | (std::uint32_t{d[at + 2]} << 16) |
         (std::uint32_t{d[at + 3]} << 24);
}
std::uint16_t ReadLe16(std::span<const std::uint8_t> d, std::size_t at) {
  return static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8));
}
void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

}  // namespace

std::vector<std::uint8_t> DibIconBits(const Image& image) {
  if (image.Empty() || image.width > 256 || image.height > 256) throw ImageError("icon: unsupported size");
  const std::uint32_t w = image.width, h = image.height;
  const std::uint32_t maskStride = ((w + 31) / 32) * 4;
  const std::uint32_t colorBytes = w * h * 4;
  const std::uint32_t maskBytes = maskStride * h;
  std::vector<std::uint8_t> out;
  out.reserve(40 + colorBytes + maskBytes);
  // BITMAPINFOHEADER; the height counts the colour and the mask image.
  PutLe32(out, 40);
  PutLe32(out, w);
  PutLe32(out, h * 2);
  PutLe16(out, 1);   // planes
  PutLe16(out, 32);  // bits per pixel
  PutLe32(out, 0);   // BI_RGB
  PutLe32(out, colorBytes + maskBytes);
  for (int i = 0; i < 4; ++i) PutLe32(out, 0);  // resolution, colours
  // Rows bottom-up, BGRA with straight alpha.
  for (std::uint32_t row = h; row-- > 0;) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::uint8_t* p = &image.rgba[(std::size_t{row} * w + x) * 4];
      out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
  }
  // The AND mask marks the fully transparent pixels for loaders that
  // ignore alpha.
  for (std::uint32_t row = h; row-- > 0;) {
    std::vector<std::uint8_t> bits(maskStride, 0);
    for (std::uint32_t x = 0; x < w; ++x) {
      if (image.rgba[(std::size_t{row} * w + x) * 4 + 3] == 0) {
        bits[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
    out.insert(out.end(), bits.begin(), bits.end());
  }
  return out;
}

IconEntry IconEntry::Dib(const Image& image) {
  IconEntry e;
  e.format = Format::Dib32;
  e.width = image.width;
  e.height = image.height;
  e.data = DibIconBits(image);
  return e;
}

IconEntry IconEntry::Png(std::vector<std::uint8_t> png) {
  const PngHeader header = ReadPngHeader(png);
  IconEntry e;
  e.format = Format::Png;
  e.width = header.width;
  e.height = header.height;
  e.data = std::move(png);
  return e;
}

std::vector<std::uint8_t> EncodeIcon(std::span<const IconEntry> entries) {
  if (entries.empty() || entries.size() > 0xFFFF) throw ImageError("icon: no entries");
  std::vector<std::uint8_t> out;
  PutLe16(out, 0);  // reserved
  PutLe16(out, 1);  // icon, not cursor
  PutLe16(out, static_cast<std::uint32_t>(entries.size()));
  std::size_t offset = 6 + 16 * entries.size();
  for (const IconEntry& e : entries) {
    if (e.width == 0 || e.height == 0 || e.width > 256 || e.height > 256) throw ImageError("icon: unsupported size");
    // 256 is written as 0.
    out.push_back(static_cast<std::uint8_t>(e.width & 0xFF));
    out.push_back(static_cast<std::uint8_t>(e.height & 0xFF));
    out.push_back(0);  // no palette
    out.push_back(0);
    PutLe16(out, 1);   // planes
    PutLe16(out, 32);  // bits per pixel
    PutLe32(out, static_cast<std::uint32_t>(e.data.size()));
    PutLe32(out, static_cast<std::uint32_t>(offset));
    offset += e.data.size();
  }
  for (const IconEntry& e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
  return out;
}

namespace {

Image DecodeDibIcon(std::span<const std::uint8_t> dib, std::uint32_t width, std::uint32_t height) {
  if (dib.size() < 40 || ReadLe32(dib, 0) < 40) throw ImageError("icon: bad bitmap header");
  const std::uint32_t headerSize = ReadLe32(dib, 0);
  if (ReadLe32(dib, 4) != width || ReadLe32(dib, 8) != height * 2) {
    throw ImageError("icon: size differs from directory");
  }
  if (ReadLe16(dib, 14) != 32 || ReadLe32(dib, 16) != 0) throw ImageError("icon: only 32-bit BI_RGB images are read");
  const std::size_t maskStride = ((width + 31) / 32) * 4;
  const std::size_t colorBytes = std::size_t{width} * height * 4;
  // In steps, so that a huge header size read from the file cannot wrap the sum.
  if (headerSize > dib.size() || colorBytes > dib.size() - headerSize ||
      maskStride * height > dib.size() - headerSize - colorBytes) {
    throw ImageError("icon: image data ends early");
  }
  const auto color = dib.subspan(headerSize, colorBytes);
  const auto mask = dib.subspan(headerSize + colorBytes, maskStride * height);

  Image image;
  image.width = width;
  image.height = height;
  image.rgba.resize(colorBytes);
  bool anyAlpha = false;
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint32_t row = height - 1 - y;
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint8_t* s = &color[(std::size_t{row} * width + x) * 4];
      std::uint8_t* d = &image.rgba[(std::size_t{y} * width + x) * 4];
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      d[3] = s[3];
      anyAlpha = anyAlpha || s[3] != 0;
    }
  }
  // Without alpha the AND mask alone says what is transparent.
  if (!anyAlpha) {
    for (std::uint32_t y = 0; y < height; ++y) {
      const std::uint32_t row = height - 1 - y;
      for (std::uint32_t x = 0; x < width; ++x) {
        const bool transparent = mask[row * maskStride + x / 8] & (0x80 >> (x % 8));
        image.rgba[(std::size_t{y} * width + x) * 4 + 3] = transparent ? 0 : 255;
      }
    }
  }
  return image;
}

}  // namespace

std::vector<DecodedIconEntry> DecodeIcon(std::span<const std::uint8_t> ico) {
  if (ico.size() < 6 || ReadLe16(ico, 0) != 0 || ReadLe16(ico, 2) != 1) throw ImageError("icon: bad header");
  const std::size_t count = ReadLe16(ico, 4);
  if (count == 0 || ico.size() < 6 + 16 * count) throw ImageError("icon: bad directory");
  std::vector<DecodedIconEntry> result;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t dir = 6 + 16 * i;
    const std::uint32_t width = ico[dir] == 0 ? 256 : ico[dir];
    const std::uint32_t height = ico[dir + 1] == 0 ? 256 : ico[dir + 1];
    const std::size_t size = ReadLe32(ico, dir + 8);
    const std::size_t offset = ReadLe32(ico, dir + 12);
    if (offset > ico.size() || size > ico.size() - offset) throw ImageError("icon: entry outside the file");
    const auto data = ico.subspan(offset, size);
    if (HasPngSignature(data)) {
      Image image = DecodePng(data);
      if (image.width != width || image.height != height) throw ImageError("icon: size differs from directory");
      result.push_back({IconEntry::Format::Png, std::move(image)});
    } else {
      result.push_back({IconEntry::Format::Dib32, DecodeDibIcon(data, width, height)});
    }
  }
  return result;
}

}  // namespace trovex::image
