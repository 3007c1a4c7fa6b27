// The ribbon's pictures: a control's glyph as an image, the image list a
// tab's controls index, and the add-in's own list. Decoding and the icon
// format are the image codec's (support/image); the COM side
// (win32/ribbon_images_win32.h) only wraps what it makes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ribbon/ribbon_controls.h"
#include "support/image/image.h"

namespace trovex::ribbon {

// A control's glyph (0xAARRGGBB) as an image; empty for an empty glyph or
// one whose pixels do not fill its size.
image::Image ImageOfGlyph(const RibbonGlyph& glyph);

// An image list of fixed size whose entries are PNG images, drawn anew on
// every request (nothing is cached between ribbon queries). A tab's Images.
class ImageList final : public RibbonImageList {
 public:
  struct Entry {
    std::string name;
    std::span<const std::uint8_t> png;  // static data
  };

  ImageList(std::uint32_t width, std::uint32_t height, std::vector<Entry> entries)
      : width_(width), height_(height), entries_(std::move(entries)) {}

  std::uint32_t Width() const { return width_; }
  std::uint32_t Height() const { return height_; }
  int Count() const override { return static_cast<int>(entries_.size()); }
  const std::vector<Entry>& Entries() const { return entries_; }
  // The entry at `index` at the list's size; an empty image for an index
  // outside the list. Throws image::ImageError when the entry is not of
  // that size.
  image::Image Render(int index) const;

 private:
  std::uint32_t width_;
  std::uint32_t height_;
  std::vector<Entry> entries_;
};

// The add-in's image list (the module's VirtualImageList1), 64 × 64:
// 0 "export", 1 "website", 2 "info", 3 "help".
std::unique_ptr<ImageList> MakeAddInImages();

}  // namespace trovex::ribbon
