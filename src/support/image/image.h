// Pixels as the image codec reads and writes them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace trovex::image {

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

// Every pixel of the colour of the bottom-left one becomes transparent, as
// an image list treats its transparent colour.
void MakeBottomLeftColorTransparent(Image& image);

}  // namespace trovex::image
