// The ribbon's pictures without Windows: PNG decoding, the icon file format
// (ICO) that Office 2010 and later take from an IStream, and the add-in's
// image list. The COM side (win32/ribbon_images_win32.h) only wraps bytes
// and icon handles made from these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ribbon/ribbon_model.h"

namespace trovex::ribbon {

// Malformed or unsupported image data.
class ImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Straight (not premultiplied) RGBA, 8 bits per channel, top row first.
struct Image {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgba;

  bool Empty() const { return width == 0 || height == 0; }
  // The pixel as 0xRRGGBBAA; x and y must be inside.
  std::uint32_t Pixel(std::uint32_t x, std::uint32_t y) const;
  void SetPixel(std::uint32_t x, std::uint32_t y, std::uint32_t rrggbbaa);
  friend bool operator==(const Image&, const Image&) = default;
};

// 8-bit PNG of every colour type, not interlaced, checked by CRC and
// Adler-32. Throws ImageError for anything else.
Image DecodePng(std::span<const std::uint8_t> png);

// Every pixel of the colour of the bottom-left one becomes transparent, as
// a glyph's image list treats its transparent colour.
void MakeBottomLeftColorTransparent(Image& image);

// A control's glyph (0xAARRGGBB) as an image; empty for an empty glyph or
// one whose pixels do not fill its size.
Image ImageOfGlyph(const RibbonGlyph& glyph);

// One image of an icon file: PNG bytes stored as they are, or pixels stored
// as a 32-bit DIB with its AND mask (what Windows' icon loaders all read).
struct IconEntry {
  enum class Format { Png, Dib32 };
  Format format = Format::Dib32;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> data;  // the entry's bytes inside the file

  static IconEntry Dib(const Image& image);
  // Width and height from the PNG's header; throws ImageError when the
  // bytes are no PNG.
  static IconEntry Png(std::vector<std::uint8_t> png);
};

// The bytes of a DIB icon image (BITMAPINFOHEADER, XOR, AND) as
// CreateIconFromResourceEx takes them and an icon file stores them.
std::vector<std::uint8_t> DibIconBits(const Image& image);

// An icon file (ICONDIR, one ICONDIRENTRY per entry, the entries' bytes).
// Sizes from 1 to 256 pixels; throws ImageError for others.
std::vector<std::uint8_t> EncodeIcon(std::span<const IconEntry> entries);

struct DecodedIconEntry {
  IconEntry::Format format;
  Image image;
};
// Reads an icon file back, PNG entries decoded too; for tests and checks.
// Throws ImageError for malformed files.
std::vector<DecodedIconEntry> DecodeIcon(std::span<const std::uint8_t> ico);

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
  // outside the list. Throws ImageError when the entry is not of that size.
  Image Render(int index) const;

 private:
  std::uint32_t width_;
  std::uint32_t height_;
  std::vector<Entry> entries_;
};

// The add-in's image list (the module's VirtualImageList1), 64 × 64:
// 0 "export", 1 "website", 2 "info", 3 "help".
std::unique_ptr<ImageList> MakeAddInImages();

}  // namespace trovex::ribbon
