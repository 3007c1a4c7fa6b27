#include "ribbon/ribbon_images.h"

#include "support/image/png.h"

namespace trovex::ribbon {

using image::Image;
using image::ImageError;

namespace {

// kPng_export, kPng_website, kPng_info, kPng_help (built from images/*.png).
#include "ribbon_image_data.inc"

}  // namespace

image::Image ImageOfGlyph(const RibbonGlyph& glyph) {
  if (glyph.Empty() || glyph.width <= 0 || glyph.height <= 0 ||
      glyph.pixels.size() != static_cast<std::size_t>(glyph.width) * static_cast<std::size_t>(glyph.height)) {
    return {};
  }
  Image image;
  image.width = static_cast<std::uint32_t>(glyph.width);
  image.height = static_cast<std::uint32_t>(glyph.height);
  image.rgba.resize(glyph.pixels.size() * 4);
  for (std::size_t i = 0; i < glyph.pixels.size(); ++i) {
    const std::uint32_t argb = glyph.pixels[i];
    image.rgba[i * 4] = static_cast<std::uint8_t>(argb >> 16);
    image.rgba[i * 4 + 1] = static_cast<std::uint8_t>(argb >> 8);
    image.rgba[i * 4 + 2] = static_cast<std::uint8_t>(argb);
    image.rgba[i * 4 + 3] = static_cast<std::uint8_t>(argb >> 24);
  }
  return image;
}

image::Image ImageList::Render(int index) const {
  if (index < 0 || index >= Count()) return {};
  Image image = image::DecodePng(entries_[static_cast<std::size_t>(index)].png);
  if (image.width != width_ || image.height != height_) {
    throw ImageError("image \"" + entries_[static_cast<std::size_t>(index)].name + "\" is not of the list's size");
  }
  return image;

}

std::unique_ptr<ImageList> MakeAddInImages() {
  return std::make_unique<ImageList>(64, 64, std::vector<ImageList::Entry>{{"export", kPng_export},
                                                                           {"website", kPng_website},
                                                                           {"info", kPng_info},
                                                                           {"help", kPng_help}});
}

}  // namespace trovex::ribbon
