// The ribbon's pictures: the add-in's artwork, as images and as icon files
// read back, and a control's glyph as an image.
#include "ribbon/ribbon_images.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/image/icon.h"
#include "support/image/image_builders.h"

namespace trovex::ribbon {
namespace {

using image::DecodedIconEntry;
using image::DecodeIcon;
using image::EncodeIcon;
using image::IconEntry;
using image::Image;
using image::testing::Bytes;
using image::testing::MakeImage;
using image::testing::MakePng;
using image::testing::ZlibStored;

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
  const Bytes png = MakePng(1, 1, 6, ZlibStored({0, 1, 2, 3, 4}));
  const ImageList list(16, 16, {{"small", png}});
  EXPECT_THROW(list.Render(0), image::ImageError);
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

}  // namespace
}  // namespace trovex::ribbon
