// A settings file's text as the engine reads it, and edits of that text put
// back into the file: byte for byte where the file is in the code page, and
// line for line where it is UTF-16.
#include "platform/ini/profile_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/error.h"
#include "testing/support.h"

namespace {

using namespace std::string_view_literals;
using platform::ini::ProfileText;
using platform::ini::Splice;
using platform::ini::Splices;
using test_support::Utf16File;

TEST(ProfileText, AFileInTheCodePageIsItsOwnTextAndEditedInPlace) {
  const std::string bytes = "\xEF\xBB\xBF[S]\nk=v\n\xFF\xFE=not a mark here\n";
  const ProfileText text(bytes);
  EXPECT_EQ(text.Text(), bytes);
  EXPECT_EQ(text.Edited({Splice{9, 10, "w"}, Splice{bytes.size(), bytes.size(), "x=1\n"}}),
            "\xEF\xBB\xBF[S]\nk=w\n\xFF\xFE=not a mark here\nx=1\n");
}

TEST(ProfileText, AUtf16FileIsReadAsItsCharactersInTheCodePage) {
  for (const bool bigEndian : {false, true}) {
    const ProfileText text(
        Utf16File(u"[\u8868]\r\nk=\U0001F600\r\nlone=\xDC80\r\nnul=a\0b\r\n"sv, bigEndian) + "x");
    EXPECT_EQ(text.Text(), platform::ToMultiByte("[表]\r\nk=😀\r\nlone=\uFFFD\r\nnul=a\0b\r\n"sv))
        << "big-endian " << bigEndian;
  }
  EXPECT_EQ(ProfileText("\xFF\xFE").Text(), "");
  EXPECT_EQ(ProfileText("\xFE").Text(), "\xFE");  // too short for a mark
}

TEST(ProfileText, EditsOfAUtf16FileRewriteOnlyTheLinesTheyTouch) {
  // Lines the code page cannot hold (an emoji where it is not UTF-8, an
  // unpaired surrogate anywhere) must come back as they were.
  const std::u16string before =
      u";\U0001F600 \xDBFF\n[S]\r\nk=v\rm=1\r\nlone=\xD800\n\nlast=\u8868";
  for (const bool bigEndian : {false, true}) {
    const ProfileText file(Utf16File(before, bigEndian) + "!");
    const std::string text(file.Text());
    const auto at = [&](const char* what) { return text.find(what); };
    std::u16string after = before;
    after.replace(after.find(u"k=v"), 3, u"k=new");
    after.replace(after.find(u"m=1"), 3, u"M=2");
    after.insert(after.find(u"\nlast"), u"\nadded=\u8868");
    after.erase(after.find(u"lone=\xD800\n"), 6);
    after += u"\nend=1";
    const std::string japanese = platform::ToMultiByte("表");
    const Splices splices{
        Splice{at("v\r"), at("v\r") + 1, "new"},                    // one value ...
        Splice{at("m=1"), at("m=1") + 1, "M"},                      // ... and two
        Splice{at("1\r\nlone"), at("1\r\nlone") + 1, "2"},          //     more in a line of its own
        Splice{at("lone="), at("\n\nlast"), ""},                    // a line removed
        Splice{at("\nlast"), at("\nlast"), "\nadded=" + japanese},  // a line added
        Splice{text.size(), text.size(), "\nend=1"},  // after a last line without break
    };
    EXPECT_EQ(file.Edited(splices), Utf16File(after, bigEndian) + "!")
        << "big-endian " << bigEndian;
  }
}

}  // namespace
