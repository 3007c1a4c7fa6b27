#include "support/image/png.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace trovex::image {
namespace {

// Enough for any icon; a corrupt header cannot make us allocate more.
constexpr std::uint32_t kMaxSide = 4096;

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t ReadBe32(std::span<const std::uint8_t> d, std::size_t at) {
  return (std::uint32_t{d[at]} << 24) | (std::uint32_t{d[at + 1]} << 16) | (std::uint32_t{d[at + 2]} << 8) |
         std::uint32_t{d[at + 3]};
}

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::uint8_t b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(std::span<const std::uint8_t> bytes) {
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t x : bytes) {
    a = (a + x) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

// --- Inflate (RFC 1950/1951), after the canonical-code decoder of zlib's
// puff.c: small and strict, for our own short images.

class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::uint32_t Bits(int n) {
    while (count_ < n) {
      if (pos_ >= data_.size()) throw ImageError("PNG: compressed data ends early");
      buffer_ |= std::uint32_t{data_[pos_++]} << count_;
      count_ += 8;
    }
    const std::uint32_t v = buffer_ & ((1u << n) - 1);
    buffer_ >>= n;
    count_ -= n;
    return v;
  }
  // Fewer than 8 bits are ever buffered, so this drops the rest of one byte.
  void AlignToByte() {
    buffer_ = 0;
    count_ = 0;
  }
  std::uint8_t Byte() {
    if (pos_ >= data_.size()) throw ImageError("PNG: compressed data ends early");
    return data_[pos_++];
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  std::uint32_t buffer_ = 0;
  int count_ = 0;
};

constexpr int kMaxBits = 15;

struct Huffman {
  std::array<std::uint16_t, kMaxBits + 1> count{};
  std::vector<std::uint16_t> symbol;
};

Huffman BuildHuffman(std::span<const std::uint8_t> lengths) {
  Huffman h;
  h.symbol.resize(lengths.size());
  for (std::uint8_t len : lengths) ++h.count[len];
  int left = 1;
  for (int len = 1; len <= kMaxBits; ++len) {
    left = left * 2 - h.count[len];
    if (left < 0) throw ImageError("PNG: over-subscribed Huffman code");
  }
  std::array<std::uint16_t, kMaxBits + 1> offset{};
  for (int len = 1; len < kMaxBits; ++len) offset[len + 1] = static_cast<std::uint16_t>(offset[len] + h.count[len]);
  for (std::size_t s = 0; s < lengths.size(); ++s) {
    if (lengths[s] != 0) h.symbol[offset[lengths[s]]++] = static_cast<std::uint16_t>(s);
  }
  return h;
}

int DecodeSymbol(BitReader& in, const Huffman& h) {
  int code = 0, first = 0, index = 0;
  for (int len = 1; len <= kMaxBits; ++len) {
    code |= static_cast<int>(in.Bits(1));
    const int count = h.count[len];
    if (code - count < first) return h.symbol[static_cast<std::size_t>(index + (code - first))];
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  throw ImageError("PNG: invalid Huffman code");
}

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistBase = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                                     33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                                     1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void InflateCodes(BitReader& in, std::vector<std::uint8_t>& out, std::size_t limit, const Huffman& lit,
                  const Huffman& dist) {
  for (;;) {
    const int sym = DecodeSymbol(in, lit);
    if (sym < 256) {
      if (out.size() >= limit) throw ImageError("PNG: more image data than the header allows");
      out.push_back(static_cast<std::uint8_t>(sym));
      continue;
    }
    if (sym == 256) return;
    const std::size_t li = static_cast<std::size_t>(sym - 257);
    if (li >= kLengthBase.size()) throw ImageError("PNG: invalid length code");
    const std::size_t length = kLengthBase[li] + in.Bits(kLengthExtra[li]);
    const std::size_t di = static_cast<std::size_t>(DecodeSymbol(in, dist));
    if (di >= kDistBase.size()) throw ImageError("PNG: invalid distance code");
    const std::size_t distance = kDistBase[di] + in.Bits(kDistExtra[di]);
    if (distance > out.size()) throw ImageError("PNG: distance before the start of the data");
    if (out.size() + length > limit) throw ImageError("PNG: more image data than the header allows");
    // Byte by byte: a copy may overlap what it writes.
    for (std::size_t i = 0; i < length; ++i) out.push_back(out[out.size() - distance]);
  }
}

void InflateDynamic(BitReader& in, std::vector<std::uint8_t>& out, std::size_t limit) {
  static constexpr std::array<std::uint8_t, 19> kOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};
  const std::size_t nlen = in.Bits(5) + 257;
  const std::size_t ndist = in.Bits(5) + 1;
  const std::size_t ncode = in.Bits(4) + 4;
  if (nlen > 286 || ndist > 30) throw ImageError("PNG: bad code counts");
  std::array<std::uint8_t, 19> codeLengths{};
  for (std::size_t i = 0; i < ncode; ++i) codeLengths[kOrder[i]] = static_cast<std::uint8_t>(in.Bits(3));
  const Huffman lencode = BuildHuffman(codeLengths);

  std::vector<std::uint8_t> lengths(nlen + ndist, 0);
  for (std::size_t i = 0; i < lengths.size();) {
    const int sym = DecodeSymbol(in, lencode);
    if (sym < 16) {
      lengths[i++] = static_cast<std::uint8_t>(sym);
      continue;
    }
    std::uint8_t value = 0;
    std::size_t repeat = 0;
    if (sym == 16) {
      if (i == 0) throw ImageError("PNG: repeat with no length before it");
      value = lengths[i - 1];
      repeat = 3 + in.Bits(2);
    } else if (sym == 17) {
      repeat = 3 + in.Bits(3);
    } else {
      repeat = 11 + in.Bits(7);
    }
    if (i + repeat > lengths.size()) throw ImageError("PNG: too many code lengths");
    for (; repeat > 0; --repeat) lengths[i++] = value;
  }
  if (lengths[256] == 0) throw ImageError("PNG: no end-of-block code");
  const Huffman lit = BuildHuffman(std::span(lengths).first(nlen));
  const Huffman dist = BuildHuffman(std::span(lengths).subspan(nlen));
  InflateCodes(in, out, limit, lit, dist);
}

void InflateFixed(BitReader& in, std::vector<std::uint8_t>& out, std::size_t limit) {
  static const std::pair<Huffman, Huffman> fixed = [] {
    std::array<std::uint8_t, 288> lit{};
    std::fill(lit.begin(), lit.begin() + 144, std::uint8_t{8});
    std::fill(lit.begin() + 144, lit.begin() + 256, std::uint8_t{9});
    std::fill(lit.begin() + 256, lit.begin() + 280, std::uint8_t{7});
    std::fill(lit.begin() + 280, lit.end(), std::uint8_t{8});
    std::array<std::uint8_t, 30> dist{};
    dist.fill(5);
    return std::pair{BuildHuffman(lit), BuildHuffman(dist)};
  }();
  InflateCodes(in, out, limit, fixed.first, fixed.second);
}

// A zlib stream; at most `limit` bytes out.
std::vector<std::uint8_t> Inflate(std::span<const std::uint8_t> zlib, std::size_t limit) {
  if (zlib.size() < 6) throw ImageError("PNG: compressed data too short");
  const unsigned cmf = zlib[0], flg = zlib[1];
  if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || ((cmf << 8) | flg) % 31 != 0 || (flg & 0x20)) {
    throw ImageError("PNG: bad zlib header");
  }
  BitReader in(zlib.subspan(2));
  std::vector<std::uint8_t> out;
  out.reserve(limit);
  bool last = false;
  while (!last) {
    last = in.Bits(1) != 0;
    switch (in.Bits(2)) {
      case 0: {
        in.AlignToByte();
        // One byte per statement: the order of the reads is fixed.
        unsigned len = in.Byte();
        len |= in.Byte() << 8;
        unsigned nlen = in.Byte();
        nlen |= in.Byte() << 8;
        if ((len ^ 0xFFFF) != nlen) throw ImageError("PNG: bad stored block");
        if (out.size() + len > limit) throw ImageError("PNG: more image data than the header allows");
        for (unsigned i = 0; i < len; ++i) out.push_back(in.Byte());
        break;
      }
      case 1:
        InflateFixed(in, out, limit);
        break;
      case 2:
        InflateDynamic(in, out, limit);
        break;
      default:
        throw ImageError("PNG: bad block type");
    }
  }
  in.AlignToByte();
  std::uint32_t adler = 0;
  for (int i = 0; i < 4; ++i) adler = (adler << 8) | in.Byte();
  if (adler != Adler32(out)) throw ImageError("PNG: Adler-32 mismatch");
  return out;
}

std::size_t Channels(std::uint8_t colorType) {
  switch (colorType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;  // grey, palette
  }
}

std::uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// Undoes the per-row filters in place; returns the rows without their
// filter bytes.
std::vector<std::uint8_t> Unfilter(const std::vector<std::uint8_t>& raw, std::size_t rows, std::size_t stride,
                                   std::size_t bpp) {
  std::vector<std::uint8_t> out(rows * stride);
  for (std::size_t y = 0; y < rows; ++y) {
    const std::uint8_t filter = raw[y * (stride + 1)];
    const std::uint8_t* in = &raw[y * (stride + 1) + 1];
    std::uint8_t* row = &out[y * stride];
    const std::uint8_t* up = y > 0 ? &out[(y - 1) * stride] : nullptr;
    for (std::size_t x = 0; x < stride; ++x) {
      const int a = x >= bpp ? row[x - bpp] : 0;
      const int b = up ? up[x] : 0;
      const int c = up && x >= bpp ? up[x - bpp] : 0;
      int predictor = 0;
      switch (filter) {
        case 0: predictor = 0; break;
        case 1: predictor = a; break;
        case 2: predictor = b; break;
        case 3: predictor = (a + b) / 2; break;
        case 4: predictor = Paeth(a, b, c); break;
        default: throw ImageError("PNG: unknown row filter");
      }
      row[x] = static_cast<std::uint8_t>(in[x] + predictor);
    }
  }
  return out;
}

}  // namespace

bool HasPngSignature(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), bytes.begin());
}

PngHeader ReadPngHeader(std::span<const std::uint8_t> png) {
  if (png.size() < 33 || !HasPngSignature(png) ||
      ReadBe32(png, 8) != 13 || std::memcmp(png.data() + 12, "IHDR", 4) != 0) {
    throw ImageError("not a PNG image");
  }
  PngHeader h;
  h.width = ReadBe32(png, 16);
  h.height = ReadBe32(png, 20);
  const std::uint8_t depth = png[24];
  h.colorType = png[25];
  if (h.width == 0 || h.height == 0 || h.width > kMaxSide || h.height > kMaxSide) {
    throw ImageError("PNG: unsupported size");
  }
  if (png[26] != 0 || png[27] != 0) throw ImageError("PNG: unknown compression or filter method");
  if (png[28] != 0) throw ImageError("PNG: interlaced images are not supported");
  if (depth != 8) throw ImageError("PNG: only 8 bits per sample are supported");
  if (h.colorType != 0 && h.colorType != 2 && h.colorType != 3 && h.colorType != 4 && h.colorType != 6) {
    throw ImageError("PNG: unknown colour type");
  }
  return h;
}

Image DecodePng(std::span<const std::uint8_t> png) {
  const PngHeader header = ReadPngHeader(png);
  std::vector<std::uint8_t> idat;
  std::vector<std::uint8_t> palette;        // RGB triples
  std::vector<std::uint8_t> transparency;   // tRNS as stored
  bool ended = false;
  for (std::size_t at = 8; !ended;) {
    if (at + 12 > png.size()) throw ImageError("PNG: truncated chunk");
    const std::uint32_t length = ReadBe32(png, at);
    if (length > png.size() - at - 12) throw ImageError("PNG: truncated chunk");
    const auto typeAndData = png.subspan(at + 4, 4 + std::size_t{length});
    if (ReadBe32(png, at + 8 + length) != Crc32(typeAndData)) throw ImageError("PNG: chunk CRC mismatch");
    const std::string_view type(reinterpret_cast<const char*>(typeAndData.data()), 4);
    const auto data = typeAndData.subspan(4);
    if (type == "IDAT") {
      idat.insert(idat.end(), data.begin(), data.end());
    } else if (type == "PLTE") {
      if (length % 3 != 0 || length > 768) throw ImageError("PNG: bad palette");
      palette.assign(data.begin(), data.end());
    } else if (type == "tRNS") {
      transparency.assign(data.begin(), data.end());
    } else if (type == "IEND") {
      ended = true;
    } else if ((type[0] & 0x20) == 0 && type != "IHDR") {
      throw ImageError("PNG: unknown critical chunk");
    }
    at += 12 + std::size_t{length};
  }

  const std::size_t channels = Channels(header.colorType);
  const std::size_t stride = header.width * channels;
  const std::size_t expected = header.height * (stride + 1);
  const std::vector<std::uint8_t> raw = Inflate(idat, expected);
  if (raw.size() != expected) throw ImageError("PNG: image data ends early");
  const std::vector<std::uint8_t> rows = Unfilter(raw, header.height, stride, channels);

  Image image;
  image.width = header.width;
  image.height = header.height;
  image.rgba.resize(std::size_t{header.width} * header.height * 4);
  // tRNS of grey and RGB images names one colour as 16-bit samples.
  auto sample16 = [&](std::size_t i) -> int {
    return transparency.size() >= 2 * (i + 1) ? (transparency[2 * i] << 8) | transparency[2 * i + 1] : -1;
  };
  if (header.colorType == 3 && palette.empty()) throw ImageError("PNG: palette image without palette");
  for (std::size_t p = 0; p < std::size_t{header.width} * header.height; ++p) {
    const std::uint8_t* s = &rows[p * channels];
    std::uint8_t* d = &image.rgba[p * 4];
    switch (header.colorType) {
      case 0:
        d[0] = d[1] = d[2] = s[0];
        d[3] = sample16(0) == s[0] ? 0 : 255;
        break;
      case 2:
        std::copy(s, s + 3, d);
        d[3] = sample16(0) == s[0] && sample16(1) == s[1] && sample16(2) == s[2] ? 0 : 255;
        break;
      case 3: {
        const std::size_t index = s[0];
        if (index * 3 + 2 >= palette.size()) throw ImageError("PNG: palette index out of range");
        std::copy(&palette[index * 3], &palette[index * 3] + 3, d);
        d[3] = index < transparency.size() ? transparency[index] : 255;
        break;
      }
      case 4:
        d[0] = d[1] = d[2] = s[0];
        d[3] = s[1];
        break;
      default:
        std::copy(s, s + 4, d);
        break;
    }
  }
  return image;
}

}  // namespace trovex::image
