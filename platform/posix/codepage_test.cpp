#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/posix/codepage.h"
#include "platform/posix/locale.h"
#include "platform/utf8.h"

namespace {

using platform::ConvertCodeset;
using platform::DecodeCodeset;
using platform::EncodeCodeset;

// 表, ソ and 能 all have 0x5C ('\') as their second byte in CP932.
constexpr char kBackslashSecondBytes[] = "表ソ能";
constexpr char kBackslashSecondBytesCp932[] = "\x95\x5C\x83\x5C\x94\x5C";

TEST(ConvertCodeset, JapaneseRoundTripsThroughCp932) {
  const std::string text = std::string("C:\\バックアップ\\") + kBackslashSecondBytes + "_2024.lzh";
  const std::string cp932 = ConvertCodeset(text, "UTF-8", "CP932");
  EXPECT_EQ(ConvertCodeset(kBackslashSecondBytes, "UTF-8", "CP932"), kBackslashSecondBytesCp932);
  EXPECT_EQ(ConvertCodeset(cp932, "CP932", "UTF-8"), text);
  EXPECT_EQ(ConvertCodeset(text, "UTF-8", "UTF-8"), text);
}

TEST(ConvertCodeset, UnrepresentableCharactersBecomeAQuestionMark) {
  EXPECT_EQ(ConvertCodeset("a\xF0\x9F\x98\x80表b", "UTF-8", "CP932"),
            "a?\x95\x5C"
            "b");
}

TEST(ConvertCodeset, InvalidBytesAreReplacedAndTheRestKept) {
  // A stray continuation byte, a truncated sequence and a surrogate.
  EXPECT_EQ(ConvertCodeset("a\x80"
                           "b\xE8\xA1"
                           "c\xED\xA0\x80"
                           "d",
                           "UTF-8", "UTF-8"),
            "a\uFFFD"
            "b\uFFFD\uFFFD"
            "c\uFFFD\uFFFD\uFFFD"
            "d");
  EXPECT_EQ(ConvertCodeset("a\x80表", "UTF-8", "CP932"), "a?\x95\x5C");
  // A lead byte cut off at the end, as a value cut at the area's size is.
  EXPECT_EQ(ConvertCodeset("\x95\x5C\x83", "CP932", "UTF-8"), "表\uFFFD");
}

TEST(ConvertCodeset, AnUnknownCodesetIsAnError) {
  EXPECT_THROW(ConvertCodeset("x", "UTF-8", "NO-SUCH-CODESET"), platform::Error);
}

// Whether text is the program's text as DecodeCodeset makes it: nothing but
// well-formed UTF-8 and escaped bytes.
bool WellFormedOrEscaped(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    if (platform::EscapedByte(text.substr(i))) {
      i += platform::kEscapedByteLength;
    } else if (const size_t length = platform::Utf8SequenceLength(text.substr(i))) {
      i += length;
    } else {
      return false;
    }
  }
  return true;
}

// CP932 is left out: some of its characters have two codes, and a valid
// character converts back to the one Windows prefers, as it always did.
TEST(LosslessCodeset, AnyBytesSurviveTheRoundTripThroughTheProgramsText) {
  std::mt19937 random(14);
  for (const char* codeset : {"UTF-8", "EUC-JP", "ISO-8859-1"}) {
    for (int round = 0; round < 2000; ++round) {
      std::string bytes(random() % 24, '\0');
      for (char& byte : bytes) byte = static_cast<char>(random() % 4 == 0 ? 'a' : random());
      const std::string text = DecodeCodeset(bytes, codeset);
      ASSERT_TRUE(WellFormedOrEscaped(text)) << codeset << " " << testing::PrintToString(bytes);
      ASSERT_EQ(EncodeCodeset(text, codeset), bytes) << codeset;
    }
  }
}

TEST(LosslessCodeset, ALatin1NameOnAUtf8SystemKeepsItsBytesAndIsFound) {
  std::vector<size_t> invalid;
  const std::string text = DecodeCodeset("/data/caf\xE9/r\xE9sum\xE9", "UTF-8", &invalid);
  EXPECT_EQ(invalid, (std::vector<size_t>{9, 12, 16}));
  EXPECT_EQ(text, "/data/caf\xED\xB3\xA9/r\xED\xB3\xA9sum\xED\xB3\xA9");
  EXPECT_EQ(EncodeCodeset(text, "UTF-8"), "/data/caf\xE9/r\xE9sum\xE9");
  // What the file holds as the UTF-8 form of a surrogate is three bytes to
  // carry, not an escape to undo.
  EXPECT_EQ(EncodeCodeset(DecodeCodeset("\xED\xB3\xA9\xED\xA0\x80", "UTF-8"), "UTF-8"),
            "\xED\xB3\xA9\xED\xA0\x80");
  // A lead byte with no second byte, and a byte no character starts with.
  invalid.clear();
  EXPECT_EQ(EncodeCodeset(DecodeCodeset("\x95\x5C\x83", "CP932", &invalid), "CP932"),
            "\x95\x5C\x83");
  EXPECT_EQ(invalid, std::vector<size_t>{2});
  invalid.clear();
  EXPECT_EQ(EncodeCodeset(DecodeCodeset("a\x80\x95\x5C", "CP932", &invalid), "CP932"),
            "a\x80\x95\x5C");
  EXPECT_EQ(invalid, std::vector<size_t>{1});
}

TEST(LosslessCodeset, ValidTextConvertsAsItAlwaysDid) {
  const std::string text = std::string("C:\\バックアップ\\") + kBackslashSecondBytes + " 😀";
  for (const char* codeset : {"UTF-8", "CP932", "EUC-JP"}) {
    const std::string bytes = ConvertCodeset(text, "UTF-8", codeset);
    EXPECT_EQ(EncodeCodeset(text, codeset), bytes) << codeset;
    std::vector<size_t> invalid;
    EXPECT_EQ(DecodeCodeset(bytes, codeset, &invalid), ConvertCodeset(bytes, codeset, "UTF-8"));
    EXPECT_TRUE(invalid.empty()) << codeset;
  }
  // Program text that is neither well formed nor escaped bytes is replaced
  // as before.
  EXPECT_EQ(EncodeCodeset("a\x80表\xED\xA0\x80", "CP932"), "a?\x95\x5C???");
  EXPECT_EQ(EncodeCodeset("a\x80"
                          "b",
                          "UTF-8"),
            "a\uFFFD"
            "b");
}

// Sets the locale variables for the life of the object and restores them after.
class LocaleEnvironment {
 public:
  explicit LocaleEnvironment(const char* lang) {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
      unsetenv(name);
    }
    if (lang) setenv("LANG", lang, 1);
  }
  ~LocaleEnvironment() {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i]) {
        setenv(kNames[i], saved_[i]->c_str(), 1);
      } else {
        unsetenv(kNames[i]);
      }
    }
  }

 private:
  static constexpr const char* kNames[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  std::vector<std::optional<std::string>> saved_;
};

TEST(LocaleCodeset, PlainCLocaleAndEmptyEnvironmentMeanUtf8) {
  {
    LocaleEnvironment none(nullptr);
    EXPECT_EQ(platform::posix::LocaleCodeset(), "UTF-8");
  }
  {
    LocaleEnvironment c("C");
    EXPECT_EQ(platform::posix::LocaleCodeset(), "UTF-8");
  }
  {
    LocaleEnvironment missing("xx_NOWHERE.NOCODESET");
    EXPECT_EQ(platform::posix::LocaleCodeset(), "UTF-8");
  }
}

TEST(SystemCodePage, ProgramTextRoundTrips) {
  const std::string text = std::string("設定") + kBackslashSecondBytes;
  EXPECT_EQ(platform::ToUtf8(platform::ToMultiByte(text)), text);
}

TEST(SystemCodePage, BytesOfAnyNameRoundTripAndTheInvalidOnesAreFound) {
  const std::string name = "caf\xE9 \xFF\xFE";
  EXPECT_EQ(platform::ToMultiByte(platform::ToUtf8(name)), name);
  EXPECT_EQ(platform::InvalidBytes("plain ascii"), std::vector<size_t>{});
  EXPECT_EQ(platform::InvalidBytes(name).back(), name.size() - 1);
}

TEST(SystemCodePage, ACharacterTheCodePageLacksIsNamedAndNeverHandedOn) {
  LocaleEnvironment eucJp("ja_JP.eucjp");
  if (platform::posix::LocaleCodeset() != "EUC-JP") GTEST_SKIP() << "no EUC-JP locale here";
  if (platform::ToMultiByte("表") != "\xC9\xBD") GTEST_SKIP() << "the code page was read before";
  EXPECT_EQ(platform::CharacterNotInCodePage(std::string("写真") + kBackslashSecondBytes),
            std::nullopt);
  EXPECT_EQ(platform::CharacterNotInCodePage("写真😀.jpg"), "😀 (U+1F600)");
  try {
    platform::ToMultiByteExactly("写真😀.jpg");
    ADD_FAILURE() << "converted";
  } catch (const platform::Error& e) {
    EXPECT_STREQ(e.what(),
                 "写真😀.jpg cannot be written in the system's code page (EUC-JP): it holds 😀 "
                 "(U+1F600), which the code page lacks");
  }
}

}  // namespace
