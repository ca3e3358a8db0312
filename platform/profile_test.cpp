// The profile functions' behaviour that Windows' own functions share: on
// POSIX these hold our implementation, on Windows they hold kernel32's.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace fs = std::filesystem;

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("slotbackup-profile-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    file_ = (dir_ / "test.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteFile(const std::string& bytes) {
    std::ofstream(file_, std::ios::binary | std::ios::trunc) << bytes;
  }
  std::string ReadFile() {
    std::ifstream in(file_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
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
  int Int(const char* key, int def) {
    return static_cast<int>(GetPrivateProfileIntA("S", key, def, file_.c_str()));
  }

  fs::path dir_;
  std::string file_;
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

}  // namespace
