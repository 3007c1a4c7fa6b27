#include "support/image/image.h"

namespace trovex::image {

std::uint32_t Image::Pixel(std::uint32_t x, std::uint32_t y) const {
  const std::size_t at = (std::size_t{y} * width + x) * 4;
  return (std::uint32_t{rgba[at]} << 24) | (std::uint32_t{rgba[at + 1]} << 16) | (std::uint32_t{rgba[at + 2]} << 8) |
         std::uint32_t{rgba[at + 3]};
}

void Image::SetPixel(std::uint32_t x, std::uint32_t y, std::uint32_t rrggbbaa) {
  const std::size_t at = (std::size_t{y} * width + x) * 4;
  rgba[at] = static_cast<std::uint8_t>(rrggbbaa >> 24);
  rgba[at + 1] = static_cast<std::uint8_t>(rrggbbaa >> 16);
  rgba[at + 2] = static_cast<std::uint8_t>(rrggbbaa >> 8);
  rgba[at + 3] = static_cast<std::uint8_t>(rrggbbaa);
}

void MakeBottomLeftColorTransparent(Image& image) {
  if (image.Empty()) return;
  const std::uint32_t key = image.Pixel(0, image.height - 1) | 0xFF;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    for (std::uint32_t x = 0; x < image.width; ++x) {
      if ((image.Pixel(x, y) | 0xFF) == key) image.SetPixel(x, y, key & 0xFFFFFF00u);
    }
  }
}

}  // namespace trovex::image
