// The ribbon's pictures: PNG decoding against images built here and
// compressed by zlib, the add-in's artwork, and icon files read back pixel
// by pixel.
#include "ribbon/ribbon_images.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace trovex::ribbon {
namespace {

using Bytes = std::vector<std::uint8_t>;

// --- Building PNG files for the tests.

std::uint32_t Crc(const Bytes& bytes) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::uint8_t b : bytes) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return ~c;
}

void PutBe32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutChunk(Bytes& png, const std::string& type, const Bytes& data) {
  PutBe32(png, static_cast<std::uint32_t>(data.size()));
  Bytes typed(type.begin(), type.end());
  typed.insert(typed.end(), data.begin(), data.end());
  png.insert(png.end(), typed.begin(), typed.end());
  PutBe32(png, Crc(typed));
}

struct Chunk {
  std::string type;
  Bytes data;
};

Bytes MakePng(std::uint32_t width, std::uint32_t height, std::uint8_t colorType, const Bytes& zlib,
              const std::vector<Chunk>& before = {}, std::uint8_t depth = 8, std::uint8_t interlace = 0) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBe32(header, width);
  PutBe32(header, height);
  header.insert(header.end(), {depth, colorType, 0, 0, interlace});
  PutChunk(png, "IHDR", header);
  for (const Chunk& c : before) PutChunk(png, c.type, c.data);
  PutChunk(png, "IDAT", zlib);
  PutChunk(png, "IEND", {});
  return png;
}

// A zlib stream of one stored (uncompressed) block.
Bytes ZlibStored(const Bytes& raw) {
  Bytes z = {0x78, 0x01, 0x01};
  const auto len = static_cast<std::uint16_t>(raw.size());
  z.insert(z.end(), {static_cast<std::uint8_t>(len), static_cast<std::uint8_t>(len >> 8),
                     static_cast<std::uint8_t>(~len), static_cast<std::uint8_t>(~len >> 8)});
  z.insert(z.end(), raw.begin(), raw.end());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t x : raw) {
    a = (a + x) % 65521;
    b = (b + a) % 65521;
  }
  PutBe32(z, (b << 16) | a);
  return z;
}

Image MakeImage(std::uint32_t width, std::uint32_t height, std::vector<std::uint32_t> rrggbbaa) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgba.resize(std::size_t{width} * height * 4);
  for (std::uint32_t i = 0; i < rrggbbaa.size(); ++i) image.SetPixel(i % width, i / width, rrggbbaa[i]);
  return image;
}

// 8 × 8 RGBA whose rows use the filters None, Sub, Up, Average, Paeth in
// turn, compressed by zlib 1.2.13 (python's zlib) with fixed and with
// dynamic Huffman codes. The pixels follow ExpectedGradient.
const std::vector<std::uint8_t> kFixedHuffman = {
    0x78, 0x01, 0x63, 0x60, 0x60, 0x60, 0x68, 0x50, 0x60, 0x10, 0xf8, 0xef, 0xc0, 0xa0, 0xf0, 0x3f,
    0x81, 0xc1, 0xa0, 0xa1, 0x81, 0xc1, 0xe1, 0xff, 0x02, 0x86, 0x80, 0xff, 0x07, 0x18, 0x12, 0x1a,
    0x1e, 0x30, 0x14, 0xfc, 0x67, 0x64, 0x50, 0x10, 0xf8, 0xaf, 0xc0, 0xf0, 0x81, 0x41, 0x81, 0xc1,
    0xa0, 0x11, 0x48, 0xd7, 0x03, 0x69, 0x20, 0xfb, 0x03, 0x90, 0x6d, 0x50, 0x0f, 0x12, 0x67, 0x02,
    0x2a, 0x60, 0x60, 0x50, 0x30, 0x68, 0x64, 0x50, 0xb8, 0x50, 0xcf, 0xa0, 0xf0, 0x01, 0xc8, 0x16,
    0x00, 0xb2, 0x0d, 0x80, 0xec, 0x0b, 0x40, 0xf6, 0x87, 0x46, 0x66, 0x06, 0x07, 0x05, 0x46, 0x01,
    0x81, 0x0f, 0xf5, 0x02, 0x40, 0x75, 0x40, 0xba, 0x51, 0x40, 0xc0, 0x01, 0xc8, 0xfe, 0x00, 0x64,
    0x33, 0x34, 0x82, 0xc4, 0x59, 0x80, 0x3a, 0xea, 0x81, 0x4a, 0x81, 0x4e, 0x01, 0xea, 0x64, 0x00,
    0xb1, 0x27, 0x20, 0xb1, 0x81, 0xba, 0x18, 0x16, 0x04, 0xfc, 0x57, 0x58, 0xe0, 0xd0, 0xe0, 0xb0,
    0xa0, 0xe0, 0x7f, 0xc2, 0x82, 0x84, 0xff, 0x0d, 0x0b, 0x04, 0x1a, 0x16, 0x2c, 0x60, 0xf8, 0x7f,
    0x60, 0x81, 0xc1, 0xff, 0x07, 0x0b, 0x14, 0x1a, 0x18, 0x19, 0x0e, 0x24, 0x80, 0x7c, 0x01, 0x74,
    0xd0, 0x05, 0xa0, 0x39, 0x02, 0x40, 0xc7, 0x5d, 0x00, 0xb2, 0x05, 0x80, 0xec, 0x0b, 0x8d, 0x20,
    0x71, 0x26, 0xb0, 0x15, 0x70, 0xc7, 0x7d, 0xa8, 0x87, 0x38, 0xfa, 0x43, 0x23, 0x4c, 0x1c, 0x00,
    0xd7, 0xe7, 0x47, 0x01,
};

const std::vector<std::uint8_t> kDynamicHuffman = {
    0x78, 0xda, 0x4d, 0x8f, 0x51, 0x11, 0xc3, 0x30, 0x0c, 0x43, 0xd5, 0x6d, 0x00, 0x0c, 0xc1, 0x10,
    0x02, 0x21, 0x10, 0x0a, 0x21, 0x10, 0xca, 0x20, 0x0e, 0x83, 0x41, 0x30, 0x94, 0x42, 0x08, 0x84,
    0x42, 0x30, 0x03, 0x4f, 0xd9, 0x6e, 0xbb, 0x7d, 0xe9, 0x9d, 0x4e, 0x4a, 0x64, 0x00, 0x30, 0x85,
    0x64, 0x85, 0x66, 0x43, 0x31, 0x43, 0x4d, 0xc7, 0x9e, 0x27, 0x9a, 0x5d, 0x38, 0x72, 0x83, 0x4a,
    0x2a, 0x02, 0x8a, 0x32, 0xa8, 0x9d, 0x4a, 0x0e, 0x72, 0xe9, 0xcb, 0xbf, 0x31, 0x00, 0x68, 0x19,
    0xd0, 0xd9, 0xa1, 0x41, 0x16, 0x72, 0x21, 0x4f, 0x72, 0x8c, 0x3b, 0xaa, 0x6e, 0x22, 0xd1, 0x85,
    0x39, 0xea, 0x10, 0xa9, 0xe4, 0x20, 0x63, 0x2c, 0xff, 0xc1, 0x46, 0x67, 0x94, 0x53, 0xd8, 0xc4,
    0xe2, 0xe7, 0x1f, 0xb3, 0x05, 0xdf, 0x53, 0xbd, 0x5a, 0xf5, 0x23, 0x9b, 0xb7, 0x34, 0x17, 0x73,
    0x47, 0x9e, 0x5e, 0xf2, 0x72, 0xb5, 0x0d, 0x67, 0x5b, 0x57, 0x70, 0xd0, 0xe4, 0x3b, 0xc2, 0x71,
    0x93, 0x2c, 0xe4, 0x39, 0x96, 0x7f, 0x7b, 0x7f, 0xf1, 0x1b, 0x17, 0xfd, 0x33, 0x3a, 0xc6, 0xd7,
    0x7f, 0x01, 0xd7, 0xe7, 0x47, 0x01,
};


Image ExpectedGradient() {
  std::vector<std::uint32_t> pixels;
  for (std::uint32_t y = 0; y < 8; ++y) {
    for (std::uint32_t x = 0; x < 8; ++x) {
      pixels.push_back((x * 32) << 24 | (y * 32) << 16 | ((x ^ y) * 16) << 8 | ((x + y) % 3 ? 255u : 128u));
    }
  }
  return MakeImage(8, 8, pixels);
}

TEST(PngDecodeTest, HuffmanCodedImagesWithEveryFilter) {
  EXPECT_EQ(ExpectedGradient(), DecodePng(MakePng(8, 8, 6, kFixedHuffman)));
  EXPECT_EQ(ExpectedGradient(), DecodePng(MakePng(8, 8, 6, kDynamicHuffman)));
}

TEST(PngDecodeTest, EveryColourType) {
  const struct {
    const char* what;
    std::uint8_t colorType;
    std::vector<Chunk> chunks;
    Bytes rows;  // 2 × 1 pixels, filter byte first
    std::vector<std::uint32_t> expected;
  } cases[] = {
      // Grey; tRNS names grey 0x20 (as a 16-bit sample) transparent.
      {"grey", 0, {{"tRNS", {0x00, 0x20}}}, {0, 0x20, 0x90}, {0x20202000, 0x909090FF}},
      // RGB; tRNS names one colour transparent.
      {"rgb", 2, {{"tRNS", {0, 1, 0, 2, 0, 3}}}, {0, 1, 2, 3, 4, 5, 6}, {0x01020300, 0x040506FF}},
      // Palette with partial tRNS: entries past it are opaque.
      {"palette", 3, {{"PLTE", {10, 20, 30, 40, 50, 60}}, {"tRNS", {0x80}}}, {0, 0, 1}, {0x0A141E80, 0x28323CFF}},
      {"grey + alpha", 4, {}, {0, 0x33, 0x44, 0x55, 0x66}, {0x33333344, 0x55555566}},
      {"rgba", 6, {}, {0, 1, 2, 3, 4, 5, 6, 7, 8}, {0x01020304, 0x05060708}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(MakeImage(2, 1, c.expected), DecodePng(MakePng(2, 1, c.colorType, ZlibStored(c.rows), c.chunks)));
  }
}

TEST(PngDecodeTest, RejectsWhatItCannotRead) {
  const Bytes rgba = ZlibStored({0, 1, 2, 3, 4});
  Bytes badCrc = MakePng(1, 1, 6, rgba);
  badCrc[30] ^= 1;  // inside IHDR's CRC
  Bytes badAdler = rgba;
  badAdler.back() ^= 1;
  const struct {
    const char* what;
    Bytes png;
  } cases[] = {
      {"no PNG signature", Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}},
      {"chunk CRC wrong", badCrc},
      {"Adler-32 wrong", MakePng(1, 1, 6, badAdler)},
      {"16 bits per sample", MakePng(1, 1, 6, rgba, {}, 16)},
      {"interlaced", MakePng(1, 1, 6, rgba, {}, 8, 1)},
      {"less data than the size needs", MakePng(2, 1, 6, rgba)},
      {"more data than the size allows", MakePng(1, 1, 6, ZlibStored({0, 1, 2, 3, 4, 5}))},
      {"unknown row filter", MakePng(1, 1, 6, ZlibStored({5, 1, 2, 3, 4}))},
      {"palette index past the palette", MakePng(1, 1, 3, ZlibStored({0, 2}), {{"PLTE", {1, 2, 3}}})},
      {"palette image without palette", MakePng(1, 1, 3, ZlibStored({0, 0}))},
      {"zero width", MakePng(0, 1, 6, rgba)},
      {"cut short", Bytes(kFixedHuffman.begin(), kFixedHuffman.begin() + 20)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_THROW(DecodePng(c.png), ImageError);
  }
  Bytes truncated = MakePng(8, 8, 6, kDynamicHuffman);
  truncated.resize(truncated.size() - 20);
  EXPECT_THROW(DecodePng(truncated), ImageError);
}

TEST(AddInImagesTest, FourImagesOf64PixelsInTheirOrder) {
  const auto list = MakeAddInImages();
  const ImageList& images = *list;
  EXPECT_EQ(64u, images.Width());
  EXPECT_EQ(64u, images.Height());
  ASSERT_EQ(4, images.Count());
  const char* names[] = {"export", "website", "info", "help"};
  for (int i = 0; i < images.Count(); ++i) {
    SCOPED_TRACE(names[i]);
    EXPECT_EQ(names[i], images.Entries()[static_cast<std::size_t>(i)].name);
    const Image image = images.Render(i);
    ASSERT_EQ(64u, image.width);
    ASSERT_EQ(64u, image.height);
    // Drawn on a transparent ground, with an opaque middle.
    EXPECT_EQ(0u, image.Pixel(0, 0) & 0xFF);
    EXPECT_EQ(0u, image.Pixel(63, 0) & 0xFF);
    EXPECT_EQ(0xFFu, image.Pixel(32, 40) & 0xFF);
  }
  // Outside the list: no image.
  EXPECT_TRUE(images.Render(-1).Empty());
  EXPECT_TRUE(images.Render(4).Empty());
}

TEST(ImageListTest, AnEntryOfAnotherSizeIsAnError) {
  const Bytes png = MakePng(8, 8, 6, kFixedHuffman);
  const ImageList list(16, 16, {{"small", png}});
  EXPECT_THROW(list.Render(0), ImageError);
}

TEST(IconFileTest, RoundTripOfTheAddInImages) {
  const auto images = MakeAddInImages();
  for (int i = 0; i < images->Count(); ++i) {
    const ImageList::Entry& entry = images->Entries()[static_cast<std::size_t>(i)];
    SCOPED_TRACE(entry.name);
    const Image pixels = images->Render(i);
    const IconEntry entries[] = {IconEntry::Dib(pixels), IconEntry::Png(Bytes(entry.png.begin(), entry.png.end()))};
    const Bytes ico = EncodeIcon(entries);
    const std::vector<DecodedIconEntry> back = DecodeIcon(ico);
    ASSERT_EQ(2u, back.size());
    EXPECT_EQ(IconEntry::Format::Dib32, back[0].format);
    EXPECT_EQ(pixels, back[0].image);
    EXPECT_EQ(IconEntry::Format::Png, back[1].format);
    EXPECT_EQ(pixels, back[1].image);
  }
}

TEST(IconFileTest, LayoutOfAnIconFile) {
  // 3 × 2, one pixel fully transparent: bottom-up rows, BGRA, and the AND
  // mask marking that pixel.
  const Image image = MakeImage(3, 2, {0x11223344, 0x556677FF, 0x8899AA00,  //
                                       0x010203FF, 0x040506FF, 0x070809FF});
  const IconEntry entries[] = {IconEntry::Dib(image)};
  const Bytes ico = EncodeIcon(entries);
  const std::size_t header = 6 + 16, bitmap = 40, colors = 3 * 2 * 4, mask = 4 * 2;
  ASSERT_EQ(header + bitmap + colors + mask, ico.size());
  // ICONDIR: reserved, type 1 (icon), one entry.
  EXPECT_EQ((Bytes{0, 0, 1, 0, 1, 0}), Bytes(ico.begin(), ico.begin() + 6));
  // ICONDIRENTRY: 3 × 2, no palette, 1 plane, 32 bits, size, offset 22.
  EXPECT_EQ((Bytes{3, 2, 0, 0, 1, 0, 32, 0, 40 + 24 + 8, 0, 0, 0, 22, 0, 0, 0}),
            Bytes(ico.begin() + 6, ico.begin() + 22));
  // BITMAPINFOHEADER: the height counts colour and mask.
  EXPECT_EQ(4, ico[header + 8]);
  // First stored row is the bottom row: 01 02 03 -> B G R A.
  EXPECT_EQ((Bytes{0x03, 0x02, 0x01, 0xFF}), Bytes(ico.begin() + 62, ico.begin() + 66));
  // Mask rows, bottom first: the bottom row is opaque, the top row's third
  // pixel is transparent (bit 0x20 of its first byte).
  EXPECT_EQ((Bytes{0, 0, 0, 0, 0x20, 0, 0, 0}), Bytes(ico.end() - 8, ico.end()));
  EXPECT_EQ(image, DecodeIcon(ico).at(0).image);
}

TEST(IconFileTest, SizesAndTheAlphaLessCase) {
  // 256 is stored as 0 in the directory and read back as 256.
  Image big = MakeImage(256, 1, {0xFF0000FF});
  const IconEntry wide[] = {IconEntry::Dib(big)};
  const Bytes ico = EncodeIcon(wide);
  EXPECT_EQ(0, ico[6]);
  EXPECT_EQ(big, DecodeIcon(ico).at(0).image);
  EXPECT_THROW(IconEntry::Dib(MakeImage(257, 1, {})), ImageError);
  EXPECT_THROW(EncodeIcon(std::span<const IconEntry>{}), ImageError);

  // An icon made by a tool without alpha: the AND mask decides.
  Image noAlpha = MakeImage(2, 1, {0x10203000, 0x40506000});
  const IconEntry both[] = {IconEntry::Dib(noAlpha)};
  Bytes masked = EncodeIcon(both);
  masked.back() = 0;
  masked[masked.size() - 4] = 0x80;  // only the first pixel is transparent
  EXPECT_EQ(MakeImage(2, 1, {0x10203000, 0x405060FF}), DecodeIcon(masked).at(0).image);
}

TEST(IconFileTest, RejectsMalformedFiles) {
  const IconEntry entries[] = {IconEntry::Dib(MakeImage(2, 2, {}))};
  const Bytes good = EncodeIcon(entries);
  Bytes cursor = good;
  cursor[2] = 2;
  Bytes outside = good;
  outside[18] = 0xFF;  // offset past the end
  const Bytes cut(good.begin(), good.end() - 1);
  for (const Bytes& bad : {cursor, outside, cut, Bytes{0, 0, 1, 0}}) EXPECT_THROW(DecodeIcon(bad), ImageError);
}

TEST(GlyphTest, GlyphPixelsBecomeAnImage) {
  RibbonGlyph glyph;
  glyph.width = 2;
  glyph.height = 1;
  glyph.pixels = {0x80112233, 0xFF445566};  // AARRGGBB
  EXPECT_EQ(MakeImage(2, 1, {0x11223380, 0x445566FF}), ImageOfGlyph(glyph));
  // Pixels that do not fill the size make no image.
  glyph.pixels.pop_back();
  EXPECT_TRUE(ImageOfGlyph(glyph).Empty());
  EXPECT_TRUE(ImageOfGlyph(RibbonGlyph{}).Empty());
}

TEST(GlyphTest, TheBottomLeftColourBecomesTransparent) {
  Image glyph = MakeImage(2, 2, {0xFF00FFFF, 0x000000FF,  //
                                 0xFF00FFFF, 0xFF00FF80});
  MakeBottomLeftColorTransparent(glyph);
  // Same colour, whatever its alpha, goes; others stay.
  EXPECT_EQ(MakeImage(2, 2, {0xFF00FF00, 0x000000FF, 0xFF00FF00, 0xFF00FF00}), glyph);
}

}  // namespace
}  // namespace trovex::ribbon
