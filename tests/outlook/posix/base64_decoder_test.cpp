#include "outlook/posix/base64_decoder.h"

#include <gmime/gmime.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "testing/base64.h"

namespace trovex::store {
namespace {

using testing::Base64Lines;

// GMime's decoder over the whole text in one go: the reference.
std::string GMimeDecodes(std::string_view text) {
  std::string out(text.size() + 8, '\0');
  int state = 0;
  guint32 save = 0;
  out.resize(g_mime_encoding_base64_decode_step(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                                                reinterpret_cast<unsigned char*>(out.data()), &state, &save));
  return out;
}

// Ours, fed in pieces of `piece` bytes.
std::string WeDecode(std::string_view text, size_t piece) {
  std::string out(Base64DecodeRoom(text.size()) + 8, '\0');
  int state = 0;
  std::uint32_t save = 0;
  size_t used = 0;
  for (size_t at = 0; at < text.size(); at += piece) {
    const std::string_view part = text.substr(at, piece);
    used += DecodeBase64Step(reinterpret_cast<const unsigned char*>(part.data()), part.size(),
                             reinterpret_cast<unsigned char*>(out.data() + used), &state, &save);
  }
  out.resize(used);
  return out;
}


// Every byte value, every character of the alphabet in every place of a
// block, line lengths around the block sizes, input split anywhere.
TEST(Base64DecoderTest, DecodesAsGMimeDoesWhereverTheInputIsSplit) {
  std::string data;
  for (int i = 0; i < 3000; ++i) data += static_cast<char>(i * 37 + i / 256);
  const struct {
    size_t lineLength;
    const char* lineEnd;
  } layouts[] = {{76, "\r\n"}, {76, "\n"}, {64, "\n"}, {16, "\n"}, {15, "\r\n"}, {17, "\n"}, {4000, ""}};
  for (const auto& layout : layouts) {
    const std::string text = Base64Lines(data, layout.lineLength, layout.lineEnd);
    const std::string expected = GMimeDecodes(text);
    ASSERT_EQ(expected, data);
    for (const size_t piece : {text.size(), size_t{1}, size_t{3}, size_t{16}, size_t{77}, size_t{1000}}) {
      SCOPED_TRACE("lines of " + std::to_string(layout.lineLength) + ", pieces of " + std::to_string(piece));
      EXPECT_EQ(WeDecode(text, piece), expected);
    }
  }
}

TEST(Base64DecoderTest, ABlockWithAnyStrayByteDecodesAsGMimeDoes) {
  const std::string clean = Base64Lines(std::string(48, 'x') + "Trovex", 1000, "");
  for (const char stray : {'\0', '\t', ' ', '\n', '-', '.', ':', '=', '@', '[', '`', '{', '\x7f', '\x80', '\xff'}) {
    for (size_t at = 0; at < 40; ++at) {
      SCOPED_TRACE("byte " + std::to_string(static_cast<unsigned char>(stray)) + " at " + std::to_string(at));
      std::string text = clean;
      text.insert(at, 1, stray);
      EXPECT_EQ(WeDecode(text, text.size()), GMimeDecodes(text));
    }
  }
}

}  // namespace
}  // namespace trovex::store
