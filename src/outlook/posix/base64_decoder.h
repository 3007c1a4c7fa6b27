// Base64 as GMime decodes it, several times faster.
#pragma once

#include <cstddef>
#include <cstdint>

namespace trovex::store {

// What `out` must hold for `length` bytes of input: a group carried over
// and slack for whole-register stores.
constexpr std::size_t Base64DecodeRoom(std::size_t length) { return length / 4 * 3 + 3 + 4; }

// Decodes the next piece of a base64 body. `state` and `save` carry a group
// split across pieces, both 0 at the start; they are GMime's own, so the
// bytes are what g_mime_encoding_base64_decode_step makes of the whole body.
// Returns the number of bytes written to `out`.
std::size_t DecodeBase64Step(const unsigned char* in, std::size_t length, unsigned char* out, int* state,
                             std::uint32_t* save);

}  // namespace trovex::store
