// PNG decoding, small and strict: enough for the images we ship and the icon
// files we read back, with no image library to carry.
#pragma once

#include <cstdint>
#include <span>

#include "support/image/image.h"

namespace trovex::image {

struct PngHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint8_t colorType = 0;
};

// Whether the bytes start with PNG's signature.
bool HasPngSignature(std::span<const std::uint8_t> bytes);

// The header of a PNG that DecodePng can read; throws ImageError otherwise.
PngHeader ReadPngHeader(std::span<const std::uint8_t> png);

// 8-bit PNG of every colour type, not interlaced, checked by CRC and
// Adler-32. Throws ImageError for anything else.
Image DecodePng(std::span<const std::uint8_t> png);

}  // namespace trovex::image
