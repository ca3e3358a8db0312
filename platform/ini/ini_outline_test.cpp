// The outline of a settings file: every line with its number, what it is,
// the section it falls under, and whether a lookup can ever reach it; held
// against the lookups themselves.
#include <gtest/gtest.h>

#include "platform/ini/ini_document.h"
#include "platform/ini/ini_outline.h"

namespace {

using platform::ini::LineKind;
using platform::ini::Outline;
using platform::ini::OutlineLine;

TEST(IniOutline, NumbersLinesAsTheLookupsSplitThem) {
  const std::string text = "\xEF\xBB\xBF[a]\r\nk=1\rx\n\n;c\r\n  [b] \nj = \"2\" \n";
  const std::vector<OutlineLine> lines = Outline(text);
  ASSERT_EQ(lines.size(), 7u);
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].number, i + 1);
  EXPECT_EQ(lines[0].kind, LineKind::kSection);
  EXPECT_EQ(lines[0].name, "a") << "the byte-order mark is no part of line 1";
  EXPECT_EQ(lines[1].kind, LineKind::kKey);
  EXPECT_EQ(lines[1].value, "1");
  EXPECT_EQ(lines[2].kind, LineKind::kOther) << "a lone CR ends a line";
  EXPECT_EQ(lines[2].text, "x");
  EXPECT_EQ(lines[3].kind, LineKind::kBlank);
  EXPECT_EQ(lines[4].kind, LineKind::kComment);
  EXPECT_EQ(lines[5].kind, LineKind::kSection);
  EXPECT_EQ(lines[5].name, "b");
  EXPECT_EQ(lines[6].section, "b");
  EXPECT_EQ(lines[6].name, "j");
  EXPECT_EQ(lines[6].value, "\"2\"") << "values as written, quotes kept";
  EXPECT_TRUE(Outline("").empty());
  EXPECT_EQ(Outline("a").size(), 1u) << "a last line without a break counts";
}

TEST(IniOutline, MarksWhatNoLookupReaches) {
  const std::string text =
      "before=1\n[S]\nk=first\nK=second\n[t]\nk=t\n[s]\nk=third\nnew=4\n[]\nbefore=2\n";
  const std::vector<OutlineLine> lines = Outline(text);
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_TRUE(lines[0].read) << "the section with the empty name, before the first header";
  EXPECT_EQ(lines[0].section, "");
  EXPECT_FALSE(lines[9].read) << "a header with the empty name comes after that section";
  EXPECT_FALSE(lines[10].read);
  EXPECT_TRUE(lines[1].read);
  EXPECT_TRUE(lines[2].read);
  EXPECT_FALSE(lines[3].read) << "a later key of the same name";
  EXPECT_TRUE(lines[5].read) << "the same key name in another section";
  EXPECT_FALSE(lines[6].read) << "a later section of the same name";
  EXPECT_EQ(lines[6].section, "s");
  EXPECT_FALSE(lines[7].read);
  EXPECT_FALSE(lines[8].read) << "even a key the first section lacks";

  // Every line the outline calls read is the one the lookup finds.
  for (const OutlineLine& line : lines) {
    if (line.kind != LineKind::kKey) continue;
    const std::optional<std::string_view> found =
        platform::ini::FindValue(text, line.section, line.name);
    EXPECT_EQ(line.read, found.has_value() && found->data() == line.value.data()) << line.number;
  }
}

TEST(IniOutline, ANulEndsWhatALineMeans) {
  const std::string text = std::string("[s]\nk=v\0=x\n", 11);
  const std::vector<OutlineLine> lines = Outline(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].value, "v");
  EXPECT_EQ(lines[1].text, "k=v");
}

TEST(IniOutline, FindsTheLineOfAnyByte) {
  const std::string text =
      "\xEF\xBB\xBF"
      "a\r\nbb\rc\n\nd";
  const std::vector<OutlineLine> lines = Outline(text);
  ASSERT_EQ(lines.size(), 5u);
  for (const OutlineLine& line : lines) {
    if (line.text.empty()) continue;
    EXPECT_EQ(
        platform::ini::LineNumberAt(text, static_cast<size_t>(line.text.data() - text.data())),
        line.number);
  }
  EXPECT_EQ(platform::ini::LineNumberAt(text, 0), 1u) << "the byte-order mark is on line 1";
  EXPECT_EQ(platform::ini::LineNumberAt(text, 5), 1u) << "a line break is on its line";
}

TEST(IniNames, MatchRegardlessOfAsciiCaseOnly) {
  EXPECT_TRUE(platform::ini::NamesMatch("BackUP_Target", "backup_TARGET"));
  EXPECT_TRUE(platform::ini::NamesMatch(" Save ", "save"));
  EXPECT_FALSE(platform::ini::NamesMatch("Backup Target", "BackUP_Target"));
  EXPECT_FALSE(platform::ini::NamesMatch("ÄB", "äb")) << "only ASCII letters fold";
}

}  // namespace
