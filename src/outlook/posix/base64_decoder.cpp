// Whole groups of four alphabet characters and the line ends between groups
// are handled here, everything else (padding, stray bytes, groups split
// across lines) by GMime with the same state, so the output is GMime's.
#include "outlook/posix/base64_decoder.h"

#include <gmime/gmime.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TROVEX_BASE64_SSSE3 1
#endif

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

// Whole groups of four and the line ends between them; false when `in` is
// at anything else, or at the end.
[[gnu::always_inline]] inline bool GroupsAndLineEnds(const Tables& t, const unsigned char*& in,
                                                     const unsigned char* end, unsigned char*& out) {
  const auto group = [&t](const unsigned char* p) { return t[0][p[0]] | t[1][p[1]] | t[2][p[2]] | t[3][p[3]]; };
  const unsigned char* const before = in;
  while (end - in >= 8) {
    const std::uint32_t x = group(in), y = group(in + 4);
    if ((x | y) & 0x80000000u) break;
    const std::uint64_t both = x | static_cast<std::uint64_t>(y) << 24;
    std::memcpy(out, &both, 8);  // six bytes meant, two of slack
    out += 6;
    in += 8;
  }
  if (end - in >= 4) {
    if (const std::uint32_t x = group(in); !(x & 0x80000000u)) {
      out[0] = static_cast<unsigned char>(x);
      out[1] = static_cast<unsigned char>(x >> 8);
      out[2] = static_cast<unsigned char>(x >> 16);
      out += 3;
      in += 4;
      return true;
    }
  }
  if (in < end && (*in == '\n' || *in == '\r')) {  // GMime skips them too
    ++in;
    return true;
  }
  return in != before;
}

void DecodeGroups(const unsigned char*& in, const unsigned char* end, unsigned char*& out) {
  const Tables& t = DecodingTables();
  while (GroupsAndLineEnds(t, in, end, out)) {
  }
}

#ifdef TROVEX_BASE64_SSSE3
// Sixteen characters at a time while all are of the alphabet, after Muła
// and Lemire ("Faster Base64 Encoding and Decoding using AVX2
// Instructions", 2018): nibble tables tell the alphabet from the rest, a
// third table shifts each character to its six bits, two multiply-adds
// pack them. Line ends between groups are skipped here too; the rest goes
// group by group.
__attribute__((target("ssse3,sse4.1"))) void DecodeGroupsSsse3(const unsigned char*& in, const unsigned char* end,
                                                               unsigned char*& out) {
  const Tables& t = DecodingTables();
  const __m128i lowTable =
      _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m128i highTable =
      _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  const __m128i shiftTable = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m128i nibble = _mm_set1_epi8(0x0f);
  const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  do {
    while (end - in >= 16) {
      const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
      const __m128i high = _mm_and_si128(_mm_srli_epi32(text, 4), nibble);
      const __m128i low = _mm_and_si128(text, nibble);
      const __m128i outside = _mm_and_si128(_mm_shuffle_epi8(lowTable, low), _mm_shuffle_epi8(highTable, high));
      const __m128i slash = _mm_cmpeq_epi8(text, _mm_set1_epi8('/'));
      const __m128i sixBits = _mm_add_epi8(text, _mm_shuffle_epi8(shiftTable, _mm_add_epi8(slash, high)));
      const __m128i pairs = _mm_maddubs_epi16(sixBits, _mm_set1_epi32(0x01400140));
      const __m128i groups = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(groups, order));  // 12 bytes meant
      const unsigned stray =
          ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(outside, _mm_setzero_si128()))) & 0xffffu;
      if (stray == 0) {
        out += 12;
        in += 16;
        continue;
      }
      // The groups before the first other character are right; a line end
      // between groups is skipped, anything else left to the slower paths.
      const auto valid = static_cast<unsigned>(__builtin_ctz(stray));
      out += valid / 4 * 3;
      in += valid / 4 * 4;
      if (*in != '\n' && *in != '\r') break;  // also where a group is cut off: `in` is at its start
      ++in;
    }
  } while (GroupsAndLineEnds(t, in, end, out));
}

const bool kHaveSsse3 = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1");
#endif

}  // namespace

std::size_t DecodeBase64Step(const unsigned char* in, std::size_t length, unsigned char* out, int* state,
                             std::uint32_t* save) {
  const unsigned char* const end = in + length;
  unsigned char* o = out;
  while (in < end) {
    if (*state == 0) {
#ifdef TROVEX_BASE64_SSSE3
      if (kHaveSsse3) {
        DecodeGroupsSsse3(in, end, o);
      } else {
        DecodeGroups(in, end, o);
      }
#else
      DecodeGroups(in, end, o);
#endif
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
