// Icon files written and read back pixel by pixel, and the transparent
// colour of an image list.
#include "support/image/icon.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

#include "support/image/image_builders.h"

namespace trovex::image {
namespace {

using namespace testing;

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

TEST(ImageTest, TheBottomLeftColourBecomesTransparent) {
  Image glyph = MakeImage(2, 2, {0xFF00FFFF, 0x000000FF,  //
                                 0xFF00FFFF, 0xFF00FF80});
  MakeBottomLeftColorTransparent(glyph);
  // Same colour, whatever its alpha, goes; others stay.
  EXPECT_EQ(MakeImage(2, 2, {0xFF00FF00, 0x000000FF, 0xFF00FF00, 0xFF00FF00}), glyph);
}

}  // namespace
}  // namespace trovex::image
