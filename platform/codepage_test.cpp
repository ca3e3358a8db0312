#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/codepage_posix.h"
#include "platform/error.h"
#include "platform/posix/locale.h"

namespace {

using platform::ConvertCodeset;

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

}  // namespace
