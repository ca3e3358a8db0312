#include "platform/double_byte.h"

#include <gtest/gtest.h>

namespace {

using platform::FindCharacter;

TEST(DoubleByte, ASeparatorIsFoundOnlyWhereACharacterStarts) {
  // 表 (95 5C), ソ (83 5C), 能 (94 5C), ポ (83 7C) in code page 932.
  const std::string_view name = "\x95\x5C\x83\x5C\x94\x5C\x83\x7C\\x|y";
  EXPECT_EQ(FindCharacter(name, '\\', 932), 8u);
  EXPECT_EQ(FindCharacter(name, '|', 932), 10u);
  EXPECT_EQ(FindCharacter(name, '\\', 932, 9), std::string_view::npos);
  // Where the code page has no double-byte characters, every byte is one.
  EXPECT_EQ(FindCharacter(name, '\\', 65001), 1u);
  EXPECT_EQ(FindCharacter(name, '|', 437), 7u);
  // Half-width katakana (A1-DF) are single bytes in code page 932; a lead
  // byte at the very end stands alone.
  EXPECT_EQ(FindCharacter("\xB1\\", '\\', 932), 1u);
  EXPECT_EQ(FindCharacter("a\x95", '\x95', 932), 1u);
}

}  // namespace
