// The icon file format (ICO) and the DIB icon image inside it: what Windows'
// icon loaders and Office's ribbon (from an IStream) read.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "support/image/image.h"

namespace trovex::image {

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

}  // namespace trovex::image
