// The profile functions' behaviour that Windows' own functions share: on
// POSIX these hold our implementation, on Windows they hold kernel32's.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/profile.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void WriteFile(const std::string& bytes) { test_support::WriteBytes(file_, bytes); }
  std::string ReadFile() { return test_support::ReadBytes(file_); }
  std::string Get(const char* section, const char* key, const char* def = "default") {
    char out[512];
    const auto n = GetPrivateProfileStringA(section, key, def, out, sizeof out, file_.c_str());
    EXPECT_EQ(n, std::string(out).size());
    return out;
  }
  // A NUL-separated list as returned, with its items joined by commas.
  static std::string Joined(const char* list) {
    std::string joined;
    for (const char* item = list; *item; item += std::strlen(item) + 1) {
      if (!joined.empty()) joined += ',';
      joined += item;
    }
    return joined;
  }
  // The section listing, joined.
  std::string Sections() {
    char out[512];
    GetPrivateProfileSectionNamesA(out, sizeof out, file_.c_str());
    return Joined(out);
  }
  int Int(const char* key, int def) {
    return static_cast<int>(GetPrivateProfileIntA("S", key, def, file_.c_str()));
  }

  test_support::ScratchFolder dir_;
  std::string file_ = (dir_ / "test.ini").string();
};

TEST_F(ProfileTest, NamesMatchIgnoringCaseAndSurroundingBlanks) {
  WriteFile("[ Sec One ]\r\n  Key A  =  value with  inner  blanks  \r\n\tTab\t=\tx\t\r\n");
  EXPECT_EQ(Get("sec one", "KEY A"), "value with  inner  blanks");
  EXPECT_EQ(Get("SEC ONE", "tab"), "x");
  EXPECT_EQ(Get("secone", "key a"), "default");
  EXPECT_EQ(Get("sec one", "keya"), "default");
}

TEST_F(ProfileTest, MatchingQuotesAroundAValueAreStripped) {
  WriteFile(
      "[S]\r\ndouble=\"quoted value\"\r\nsingle='single'\r\nlone=\"lone\r\nbare=\"\r\n"
      "mixed=\"mixed'\r\ninner=a\"b\"c\r\n");
  EXPECT_EQ(Get("S", "double"), "quoted value");
  EXPECT_EQ(Get("S", "single"), "single");
  EXPECT_EQ(Get("S", "lone"), "\"lone");
  EXPECT_EQ(Get("S", "bare"), "\"");
  EXPECT_EQ(Get("S", "mixed"), "\"mixed'");
  EXPECT_EQ(Get("S", "inner"), "a\"b\"c");
}

TEST_F(ProfileTest, CommentsLinesWithoutEqualsAndDuplicates) {
  WriteFile(
      "[S]\r\n;k=commented\r\nnoequals\r\nk=first\r\nK=second\r\n"
      "[s]\r\nk=other section\r\nonly=in second copy\r\n");
  EXPECT_EQ(Get("S", "noequals"), "default");
  EXPECT_EQ(Get("S", "k"), "first");
  EXPECT_EQ(Get("S", "only"), "default");
}

TEST_F(ProfileTest, LineEndingsReadAlike) {
  for (const std::string eol : {"\n", "\r\n", "\r"}) {
    WriteFile("[A]" + eol + "x=1" + eol + eol + "[B]" + eol + "y=2");
    EXPECT_EQ(Get("A", "x"), "1") << "line end " << testing::PrintToString(eol);
    EXPECT_EQ(Get("B", "y"), "2") << "line end " << testing::PrintToString(eol);
  }
}

TEST_F(ProfileTest, ByteOrderMarkDoesNotHideTheFirstSection) {
  WriteFile("\xEF\xBB\xBF[First]\r\nk=v\r\n");
  EXPECT_EQ(Get("First", "k"), "v");
}

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(Get("S", "k"), "default");
  WriteFile("[S]\r\nk=v\r\n");
  EXPECT_EQ(Get("T", "k"), "default");
  EXPECT_EQ(Get("S", "x"), "default");
  EXPECT_EQ(Get("S", "x", "one two  "), "one two");
  EXPECT_EQ(Get("S", "x", nullptr), "");
}

TEST_F(ProfileTest, AValueIsCutToTheAreaAndCountsBytesWithoutTheNul) {
  WriteFile("[S]\r\nk=abcdef\r\n");
  char out[8] = "kumquat";
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", out, 4, file_.c_str()), 3u);
  EXPECT_STREQ(out, "abc");
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", out, 1, file_.c_str()), 0u);
  EXPECT_STREQ(out, "");
  std::strcpy(out, "kumquat");
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", out, 0, file_.c_str()), 0u);
  EXPECT_STREQ(out, "kumquat");
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", out, 7, file_.c_str()), 6u);
  EXPECT_STREQ(out, "abcdef");
}

TEST_F(ProfileTest, NullSectionOrKeyListsNamesCutWithTwoNuls) {
  WriteFile("[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]\r\n");
  char out[64];
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, "x", "default", out, sizeof out, file_.c_str()), 18u);
  EXPECT_EQ(std::string(out, 19), std::string("section1\0section2\0", 19));
  EXPECT_EQ(
      GetPrivateProfileStringA("section1", nullptr, "default", out, sizeof out, file_.c_str()),
      18u);
  EXPECT_EQ(std::string(out, 19), std::string("name1\0name2\0name4\0", 19));

  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, "x", "default", out, 16, file_.c_str()), 14u);
  // Windows documents a second NUL in the last byte; Wine leaves it as it was.
  EXPECT_EQ(std::string(out, 15), std::string("section1\0secti\0", 15));
  EXPECT_EQ(GetPrivateProfileStringA("section1", nullptr, "default", out, 16, file_.c_str()), 14u);
  EXPECT_EQ(std::string(out, 15), std::string("name1\0name2\0na\0", 15));
}

TEST_F(ProfileTest, SectionNamesAreTrimmedAndCutLikeWindows) {
  WriteFile("[ section1 ]\r\n[section2]\r\n[section3]\r\n");
  char out[64];
  EXPECT_EQ(GetPrivateProfileSectionNamesA(out, 29, file_.c_str()), 27u);
  EXPECT_EQ(Joined(out), "section1,section2,section3");
  EXPECT_EQ(GetPrivateProfileSectionNamesA(out, 28, file_.c_str()), 26u);
  EXPECT_EQ(out[26], '\0');
  EXPECT_EQ(out[27], '\0');
  EXPECT_EQ(GetPrivateProfileSectionNamesA(out, 27, file_.c_str()), 25u);
  fs::remove(file_);
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(GetPrivateProfileSectionNamesA(out, 10, file_.c_str()), 0u);
  EXPECT_EQ(out[0], '\0');
}

TEST_F(ProfileTest, SectionLinesSkipCommentsAndKeepLinesWithoutEquals) {
  WriteFile(
      "[section1]\r\nname1=val1\r\n;comment\r\nname2=\r\nname3\r\nname4=val4\r\n[section2]\r\n"
      "[section3]\r\n=val5\r\n");
  char out[100];
  EXPECT_EQ(GetPrivateProfileSectionA("section1", out, sizeof out, file_.c_str()), 35u);
  EXPECT_EQ(Joined(out), "name1=val1,name2=,name3,name4=val4");
  EXPECT_EQ(out[35], '\0');
  EXPECT_EQ(GetPrivateProfileSectionA("section2", out, sizeof out, file_.c_str()), 0u);
  EXPECT_EQ(GetPrivateProfileSectionA("section3", out, sizeof out, file_.c_str()), 6u);
  EXPECT_EQ(Joined(out), "=val5");
  EXPECT_EQ(Get("section3", ""), "val5");
  EXPECT_EQ(GetPrivateProfileSectionA("section1", out, 24, file_.c_str()), 22u);
  EXPECT_EQ(std::string(out, 24), std::string("name1=val1\0name2=\0name\0\0", 24));
}

TEST_F(ProfileTest, IntegersReadASignAndLeadingDigits) {
  WriteFile(
      "[S]\r\nminus=-1\r\nplus=+1\r\nwrap=4294967296\r\nwrap1=4294967297\r\n"
      "tail=42A94967297\r\nletter=B42\r\nempty=\r\nquoted=\"12\"\r\n");
  EXPECT_EQ(Int("minus", 5), -1);
  EXPECT_EQ(Int("plus", 5), 1);
  EXPECT_EQ(Int("wrap", 5), 0);
  EXPECT_EQ(Int("wrap1", 5), 1);
  EXPECT_EQ(Int("tail", 5), 42);
  EXPECT_EQ(Int("letter", 5), 0);
  EXPECT_EQ(Int("empty", 5), 5);
  EXPECT_EQ(Int("quoted", 5), 12);
  EXPECT_EQ(Int("missing", -7), -7);
}

TEST_F(ProfileTest, WritesBuildUpAndTearDownAFile) {
  EXPECT_NE(WritePrivateProfileStringA("App1", "key1", "string1", file_.c_str()), 0);
  EXPECT_EQ(ReadFile(), "[App1]\r\nkey1=string1\r\n");
  WritePrivateProfileStringA("App1", "key2", "string2", file_.c_str());
  WritePrivateProfileStringA("App1", "key3", "string3", file_.c_str());
  WritePrivateProfileStringA("App2", "key4", "string4", file_.c_str());
  EXPECT_NE(WritePrivateProfileStringA("App3", "key5", "string5", file_.c_str()), 0);
  EXPECT_EQ(ReadFile(),
            "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n"
            "[App3]\r\nkey5=string5\r\n");

  EXPECT_NE(WritePrivateProfileStringA("App1", "key2", "changed", file_.c_str()), 0);
  EXPECT_EQ(Get("App1", "key2"), "changed");
  EXPECT_NE(WritePrivateProfileStringA("App1", "key2", nullptr, file_.c_str()), 0);
  EXPECT_NE(WritePrivateProfileStringA("App1", "key2", nullptr, file_.c_str()), 0);
  EXPECT_NE(WritePrivateProfileStringA("App1", nullptr, "ignored", file_.c_str()), 0);
  EXPECT_NE(WritePrivateProfileStringA("App2", nullptr, nullptr, file_.c_str()), 0);
  EXPECT_NE(WritePrivateProfileStringA("App3", "key5", nullptr, file_.c_str()), 0);
  EXPECT_EQ(ReadFile(), "[App3]\r\n");
  EXPECT_EQ(WritePrivateProfileStringA(nullptr, "key", "value", file_.c_str()), 0);
  EXPECT_EQ(ReadFile(), "[App3]\r\n");
}

TEST_F(ProfileTest, AnEmptyValueIsWrittenAndReadAsEmpty) {
  EXPECT_NE(WritePrivateProfileStringA("App", "key", "", file_.c_str()), 0);
  EXPECT_EQ(ReadFile(), "[App]\r\nkey=\r\n");
  EXPECT_EQ(Get("App", "key"), "");
}

using test_support::Utf16File;

TEST_F(ProfileTest, AUtf16FileWithAByteOrderMarkReadsInTheSystemCodePage) {
  for (const bool bigEndian : {false, true}) {
    WriteFile(Utf16File(u"[S]\r\nk=v\r\n[T]\r\npath=C:\\\u8868\u30bd\u80fd\r\nlone=\xD800\r\n",
                        bigEndian));
    EXPECT_EQ(Get("S", "k"), "v") << "big-endian " << bigEndian;
    EXPECT_EQ(Get("t", "path"), platform::ToMultiByte("C:\\表ソ能")) << "big-endian " << bigEndian;
    // An unpaired surrogate is read as U+FFFD would be.
    EXPECT_EQ(Get("T", "lone"), platform::ToMultiByte("\uFFFD")) << "big-endian " << bigEndian;
    EXPECT_EQ(Sections(), "S,T") << "big-endian " << bigEndian;
    char out[64];
    EXPECT_EQ(GetPrivateProfileSectionA("S", out, sizeof out, file_.c_str()), 4u);
    EXPECT_EQ(std::string(out, 5), std::string("k=v\0", 5));
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 7, file_.c_str()), 0u);
  }
}

// The file is already in the form Windows writes, so rewriting it whole (as
// Windows does) and editing one line (as the POSIX functions do) agree.
TEST_F(ProfileTest, AWriteKeepsAUtf16FileInUtf16WithItsMark) {
  for (const bool bigEndian : {false, true}) {
    const std::u16string before =
        u"[S]\r\nk=v\r\n;\U0001F600 \u8868\r\nother=\u8868\u30bd\u80fd\U0001F600\r\n[T]\r\nx=1\r\n";
    WriteFile(Utf16File(before, bigEndian));
    EXPECT_NE(WritePrivateProfileStringA("S", "k", "w", file_.c_str()), 0);
    std::u16string after = before;
    after.replace(after.find(u"k=v"), 3, u"k=w");
    EXPECT_EQ(ReadFile(), Utf16File(after, bigEndian)) << "big-endian " << bigEndian;
    const std::string japanese = platform::ToMultiByte("表");
    EXPECT_NE(WritePrivateProfileStringA("T", "y", japanese.c_str(), file_.c_str()), 0);
    after += u"y=\u8868\r\n";
    EXPECT_EQ(ReadFile(), Utf16File(after, bigEndian)) << "big-endian " << bigEndian;
    EXPECT_EQ(Get("T", "y"), japanese);
    EXPECT_EQ(Get("S", "other"), platform::ToMultiByte("表ソ能😀"));
  }
}

TEST_F(ProfileTest, TheSectionListingNamesEveryHeaderInFileOrder) {
  WriteFile("[A]\r\na=1\r\n[B]\r\n[a]\r\na=2\r\n[A]\r\n");
  EXPECT_EQ(Sections(), "A,B,a,A");
  EXPECT_EQ(Get("A", "a"), "1");
  char out[64];
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, "k", "", out, sizeof out, file_.c_str()), 8u);
  EXPECT_EQ(std::string(out, 9), std::string("A\0B\0a\0A\0", 9));
}

TEST_F(ProfileTest, AHeaderWithAnEmptyNameIsNotListedAndItsKeysAreNotFound) {
  WriteFile("[]\r\nk=v\r\n[A]\r\nx=1\r\n[ ]\r\ny=2\r\n");
  EXPECT_EQ(Sections(), "A");
  EXPECT_EQ(Get("", "k"), "default");
  EXPECT_EQ(Get(" ", "y"), "default");
  EXPECT_EQ(Get("A", "x"), "1");
}

TEST_F(ProfileTest, LinesBeforeTheFirstHeaderFormTheSectionWithTheEmptyName) {
  WriteFile("k0=zero\r\n;note\r\nloose\r\n[S]\r\nk=v\r\n[]\r\nk1=one\r\n");
  EXPECT_EQ(Get("", "k0"), "zero");
  EXPECT_EQ(Get("", "K0"), "zero");
  EXPECT_EQ(Get("", "k1"), "default");
  EXPECT_EQ(Get("S", "k0"), "default");
  char out[64];
  EXPECT_EQ(GetPrivateProfileSectionA("", out, sizeof out, file_.c_str()), 14u);
  EXPECT_EQ(std::string(out, 15), std::string("k0=zero\0loose\0", 15));
  EXPECT_EQ(GetPrivateProfileStringA("", nullptr, "", out, sizeof out, file_.c_str()), 3u);
  EXPECT_EQ(std::string(out, 4), std::string("k0\0", 4));
  EXPECT_EQ(Sections(), "S");
}

TEST_F(ProfileTest, WritesToTheSectionWithTheEmptyNameGoBeforeTheFirstHeader) {
  WriteFile("k0=zero\r\n[S]\r\nk=v\r\n");
  EXPECT_NE(WritePrivateProfileStringA("", "k1", "one", file_.c_str()), 0);
  EXPECT_EQ(ReadFile(), "k0=zero\r\nk1=one\r\n[S]\r\nk=v\r\n");
  EXPECT_NE(WritePrivateProfileStringA("", "k0", "ZERO", file_.c_str()), 0);
  EXPECT_EQ(ReadFile(), "k0=ZERO\r\nk1=one\r\n[S]\r\nk=v\r\n");
  EXPECT_NE(WritePrivateProfileStringA("", "k0", nullptr, file_.c_str()), 0);
  EXPECT_NE(WritePrivateProfileStringA("", "k1", nullptr, file_.c_str()), 0);
  EXPECT_EQ(ReadFile(), "[S]\r\nk=v\r\n");
  EXPECT_NE(WritePrivateProfileStringA("", "k1", "one", file_.c_str()), 0);
  EXPECT_EQ(ReadFile(), "k1=one\r\n[S]\r\nk=v\r\n");
  EXPECT_EQ(Get("", "k1"), "one");
}

TEST_F(ProfileTest, AKeyListingWithNoKeysGivesTheDefault) {
  char out[64];
  const auto keys = [&](const char* section) {
    std::memset(out, 'x', sizeof out);
    const uint32_t n =
        GetPrivateProfileStringA(section, nullptr, "DEF", out, sizeof out, file_.c_str());
    EXPECT_EQ(std::string(out, n + 1), std::string("DEF", 4)) << "section " << section;
    return n;
  };
  EXPECT_EQ(keys("S"), 3u);  // no file
  WriteFile("[S]\r\n;comment\r\nloose\r\n[T]\r\nk=v\r\n");
  EXPECT_EQ(keys("S"), 3u);  // no keys in the section
  EXPECT_EQ(keys("U"), 3u);  // no such section
  EXPECT_EQ(GetPrivateProfileStringA("T", nullptr, "DEF", out, sizeof out, file_.c_str()), 2u);
  EXPECT_EQ(std::string(out, 3), std::string("k\0", 3));
}

TEST_F(ProfileTest, ADefaultInMatchingQuotesComesWithoutThem) {
  WriteFile("[S]\r\nk=v\r\n");
  char out[64];
  EXPECT_EQ(GetPrivateProfileStringA("S", "x", "\"DEF\"", out, sizeof out, file_.c_str()), 3u);
  EXPECT_STREQ(out, "DEF");
  EXPECT_EQ(Get("S", "x", "'DEF'"), "DEF");
  EXPECT_EQ(Get("S", "x", "\"DEF'"), "\"DEF'");
  EXPECT_EQ(Get("S", "x", "\""), "\"");
  EXPECT_EQ(Get("S", "x", "\"DEF\"  "), "DEF");
  EXPECT_EQ(GetPrivateProfileStringA("T", nullptr, "\"DEF\"", out, sizeof out, file_.c_str()), 3u);
  EXPECT_STREQ(out, "DEF");
  fs::remove(file_);
  EXPECT_EQ(Get("S", "x", "\"DEF\""), "DEF");
}

TEST_F(ProfileTest, AnEmptySectionDumpIsTwoNuls) {
  WriteFile("[S]\r\n;comment only\r\n[T]\r\nk=v\r\n");
  char out[8];
  for (const char* section : {"S", "missing"}) {
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(GetPrivateProfileSectionA(section, out, sizeof out, file_.c_str()), 0u);
    EXPECT_EQ(std::string(out, 3), std::string("\0\0x", 3)) << "section " << section;
  }
}

}  // namespace
