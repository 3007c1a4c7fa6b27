// Whole groups of four alphabet characters and the line ends between groups
// are handled here, everything else (padding, stray bytes, groups split
// across lines) by GMime with the same state, so the output is GMime's.
#include "outlook/posix/base64_decoder.h"

#include <gmime/gmime.h>

#include <array>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace trovex::store {
namespace {

static_assert(std::is_same_v<guint32, std::uint32_t>);

// Each table holds a character's six bits already at their place in the
// three output bytes (first byte lowest); a character outside the alphabet
// sets the top bit.
using Tables = std::array<std::array<std::uint32_t, 256>, 4>;

const Tables& DecodingTables() {
  static const Tables tables = [] {
    Tables t{};
    for (auto& table : t) table.fill(0x80000000u);
    constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::uint32_t rank = 0; rank < 64; ++rank) {
      const auto c = static_cast<unsigned char>(kAlphabet[rank]);
      for (int position = 0; position < 4; ++position) {
        const std::uint32_t v = rank << (18 - 6 * position);
        t[position][c] = (v >> 16 & 0xff) | (v >> 8 & 0xff) << 8 | (v & 0xff) << 16;
      }
    }
    return t;
  }();
  return tables;
}

}  // namespace

std::size_t DecodeBase64Step(const unsigned char* in, std::size_t length, unsigned char* out, int* state,
                             std::uint32_t* save) {
  const Tables& t = DecodingTables();
  const auto group = [&t](const unsigned char* p) { return t[0][p[0]] | t[1][p[1]] | t[2][p[2]] | t[3][p[3]]; };
  const unsigned char* const end = in + length;
  unsigned char* o = out;
  while (in < end) {
    if (*state == 0) {
      while (end - in >= 8) {
        const std::uint32_t x = group(in), y = group(in + 4);
        if ((x | y) & 0x80000000u) break;
        const std::uint64_t both = x | static_cast<std::uint64_t>(y) << 24;
        std::memcpy(o, &both, 8);  // six bytes meant, two of slack
        o += 6;
        in += 8;
      }
      if (end - in >= 4) {
        if (const std::uint32_t x = group(in); !(x & 0x80000000u)) {
          o[0] = static_cast<unsigned char>(x);
          o[1] = static_cast<unsigned char>(x >> 8);
          o[2] = static_cast<unsigned char>(x >> 16);
          o += 3;
          in += 4;
          continue;
        }
      }
      if (in < end && (*in == '\n' || *in == '\r')) {  // GMime skips them too
        ++in;
        continue;
      }
    }
    if (in == end) break;
    // To the end of the line: padding stays with the group it ends.
    const auto* lineEnd = static_cast<const unsigned char*>(std::memchr(in, '\n', static_cast<std::size_t>(end - in)));
    lineEnd = lineEnd ? lineEnd + 1 : end;
    o += g_mime_encoding_base64_decode_step(in, static_cast<std::size_t>(lineEnd - in), o, state, save);
    in = lineEnd;
  }
  return static_cast<std::size_t>(o - out);
}

}  // namespace trovex::store
