// Images and PNG files built byte by byte for the codec's tests and the
// ribbon's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/image/image.h"

namespace trovex::image::testing {

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t Crc(const Bytes& bytes) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::uint8_t b : bytes) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return ~c;
}

inline void PutBe32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

inline void PutChunk(Bytes& png, const std::string& type, const Bytes& data) {
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

inline Bytes MakePng(std::uint32_t width, std::uint32_t height, std::uint8_t colorType, const Bytes& zlib,
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
inline Bytes ZlibStored(const Bytes& raw) {
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

inline Image MakeImage(std::uint32_t width, std::uint32_t height, std::vector<std::uint32_t> rrggbbaa) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgba.resize(std::size_t{width} * height * 4);
  for (std::uint32_t i = 0; i < rrggbbaa.size(); ++i) image.SetPixel(i % width, i / width, rrggbbaa[i]);
  return image;
}

}  // namespace trovex::image::testing
