// Showing the program's text to a person: every byte named, nothing that is
// not well-formed UTF-8 let through.
#include <gtest/gtest.h>

#include <string>

#include "platform/utf8.h"

namespace {

TEST(Printable, EscapedBytesAreNamedAndBrokenBytesReplaced) {
  std::string text = "caf";
  platform::AppendEscapedByte(text, 0xE9);
  platform::AppendEscapedByte(text, 0x80);
  platform::AppendEscapedByte(text, 0xFF);
  EXPECT_EQ(platform::Printable(text), "caf\\xE9\\x80\\xFF");
  EXPECT_EQ(platform::Printable("a\x80"
                                "b\xE8\xA1"
                                "c\xED\xA0\x80"),
            "a\uFFFDb\uFFFD\uFFFDc\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(platform::Printable("表ソ能 \uFFFD 😀 \\x"), "表ソ能 \uFFFD 😀 \\x");
}

TEST(EscapedByte, EachByteFrom0x80To0xFFHasItsOwnEscape) {
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    std::string text;
    platform::AppendEscapedByte(text, static_cast<unsigned char>(byte));
    ASSERT_EQ(text.size(), platform::kEscapedByteLength);
    EXPECT_EQ(platform::Utf8SequenceLength(text), 0u) << byte;
    EXPECT_EQ(platform::EscapedByte(text), static_cast<unsigned char>(byte));
  }
  EXPECT_EQ(platform::EscapedByte("\xED\xB2"), std::nullopt);
  EXPECT_EQ(platform::EscapedByte("\xED\xB1\xBF"), std::nullopt);  // U+DC7F
  EXPECT_EQ(platform::EscapedByte("\xED\xB4\x80"), std::nullopt);  // U+DD00
}

TEST(CharacterName, NamesTheFirstCharacterByItsCodePoint) {
  EXPECT_EQ(platform::CharacterName("¥b"), "¥ (U+00A5)");
  EXPECT_EQ(platform::CharacterName("a"), "a (U+0061)");
  EXPECT_EQ(platform::CharacterName("한"), "한 (U+D55C)");
  EXPECT_EQ(platform::CharacterName("😀!"), "😀 (U+1F600)");
  EXPECT_EQ(platform::CharacterName("\xE9x"), "\uFFFD");
}

}  // namespace
