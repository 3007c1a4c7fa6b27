// Base64 as mailers write it, for building test mails.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trovex::testing {

// `data` encoded, cut into lines of `lineLength` characters, each ended by `lineEnd`.
inline std::string Base64Lines(std::string_view data, std::size_t lineLength, std::string_view lineEnd) {
  constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string flat;
  flat.reserve((data.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < data.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(data[i]) << 16;
    if (i + 1 < data.size()) v |= static_cast<unsigned char>(data[i + 1]) << 8;
    if (i + 2 < data.size()) v |= static_cast<unsigned char>(data[i + 2]);
    flat += kAlphabet[v >> 18 & 63];
    flat += kAlphabet[v >> 12 & 63];
    flat += i + 1 < data.size() ? kAlphabet[v >> 6 & 63] : '=';
    flat += i + 2 < data.size() ? kAlphabet[v & 63] : '=';
  }
  std::string lines;
  for (std::size_t i = 0; i < flat.size(); i += lineLength) lines.append(flat, i, lineLength).append(lineEnd);
  return lines;
}

}  // namespace trovex::testing
