// What the POSIX profile functions promise beyond Windows': writes that keep
// every other byte, cannot be broken by a full disk or a crash, lose nothing
// to a concurrent writer, and reads that survive any bytes at all.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/posix/codepage.h"
#include "platform/posix/fault_injection.h"
#include "platform/posix/locale.h"
#include "platform/posix/profile_edit.h"
#include "platform/profile.h"
#include "testing/fault_sweep.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

using test_support::ReadBytes;
using test_support::WriteBytes;

class ProfilePosixTest : public ::testing::Test {
 protected:
  int Set(const char* section, const char* key, const char* value) {
    return WritePrivateProfileStringA(section, key, value, file_.c_str());
  }
  std::string Get(const char* section, const char* key) {
    char out[256];
    GetPrivateProfileStringA(section, key, "default", out, sizeof out, file_.c_str());
    return out;
  }

  test_support::ScratchFolder dir_;
  std::string file_ = (dir_ / "test.ini").string();
};

TEST_F(ProfilePosixTest, ReplacingAValueKeepsEveryOtherByte) {
  const std::string before =
      "; settings\n\n[backup_save]\n  SavePath =  /old/path  ; no inline comments  \n"
      "ArchiveType=LHA\n\n\n[Other]\nx=1";
  WriteBytes(file_, before);
  EXPECT_NE(Set("BackUP_Save", "savepath", "/new"), 0);
  EXPECT_EQ(ReadBytes(file_),
            "; settings\n\n[backup_save]\n  SavePath =  /new  \nArchiveType=LHA\n\n\n[Other]\nx=1");
}

TEST_F(ProfilePosixTest, ANewKeyFollowsTheSectionsLastLineBeforeItsClosingBlankLines) {
  WriteBytes(file_, "[A]\n; note\nk=1\n; trailing comment\n\n\n[B]\nx=1\n");
  EXPECT_NE(Set("a", "new", "2"), 0);
  EXPECT_EQ(ReadBytes(file_), "[A]\n; note\nk=1\n; trailing comment\nnew=2\n\n\n[B]\nx=1\n");
  EXPECT_NE(Set("B", "y", "3"), 0);
  EXPECT_EQ(ReadBytes(file_), "[A]\n; note\nk=1\n; trailing comment\nnew=2\n\n\n[B]\nx=1\ny=3\n");
}

TEST_F(ProfilePosixTest, NewLinesFollowTheFilesLineEnds) {
  WriteBytes(file_, "[A]\rk=1");
  EXPECT_NE(Set("A", "m", "2"), 0);
  EXPECT_NE(Set("C", "n", "3"), 0);
  EXPECT_EQ(ReadBytes(file_), "[A]\rk=1\rm=2\r[C]\rn=3\r");
}

TEST_F(ProfilePosixTest, DeletingASectionRemovesEveryCopyUpToTheNextHeader) {
  WriteBytes(file_, "[S]\r\na=1\r\n; about T\r\n[T]\r\nb=2\r\n\r\n[s]\r\nc=3\r\n[U]\r\nd=4\r\n");
  EXPECT_NE(Set("S", nullptr, nullptr), 0);
  EXPECT_EQ(ReadBytes(file_), "[T]\r\nb=2\r\n\r\n[U]\r\nd=4\r\n");
}

TEST_F(ProfilePosixTest, DeletingAKeyRemovesItsDuplicatesToo) {
  WriteBytes(file_, "[S]\na=1\nb=2\nA=3\n");
  EXPECT_NE(Set("S", "a", nullptr), 0);
  EXPECT_EQ(ReadBytes(file_), "[S]\nb=2\n");
}

TEST_F(ProfilePosixTest, LineBreaksInAValueCannotAddLines) {
  WriteBytes(file_, "[BackUP_Save]\r\nSavePath=/backup\r\n");
  EXPECT_NE(Set("Error_LOG", "when", "failed\r\n[BackUP_Save]\r\nSavePath=/elsewhere"), 0);
  EXPECT_EQ(Get("BackUP_Save", "SavePath"), "/backup");
  EXPECT_EQ(Get("Error_LOG", "when"), "failed  [BackUP_Save]  SavePath=/elsewhere");
}

TEST_F(ProfilePosixTest, IntegersAcceptWindowsPrefixesAndReadAtMost29Characters) {
  WriteBytes(file_, "[S]\nhex=0x1F\nneg=-0x10\nbin=0b101\noct=0o17\nlead=08\nlong=" +
                        std::string(28, '0') + "12\n");
  const auto get = [&](const char* key) {
    return static_cast<int>(GetPrivateProfileIntA("S", key, 99, file_.c_str()));
  };
  EXPECT_EQ(get("hex"), 31);
  EXPECT_EQ(get("neg"), -16);
  EXPECT_EQ(get("bin"), 5);
  EXPECT_EQ(get("oct"), 15);
  EXPECT_EQ(get("lead"), 8);
  EXPECT_EQ(get("long"), 1);
}

TEST_F(ProfilePosixTest, AnyBytesAtAllReadWithoutHarm) {
  using namespace std::string_literals;
  std::string junk = "\0\xFF[S\0]\r\n[S]\nk=v\0tail\n\x01\x02=\x03\n\0"s;
  junk += std::string(10 * 1024 * 1024, 'x');  // a 10 MB line
  junk += "\n[S]\nk=second\n";
  WriteBytes(file_, junk);
  EXPECT_EQ(Get("S", "k"), "v");
  char list[64];
  EXPECT_EQ(GetPrivateProfileSectionNamesA(list, sizeof list, file_.c_str()), 4u);
  EXPECT_EQ(std::string(list, 5), std::string("S\0S\0", 5));
  EXPECT_NE(Set("S", "k", "w"), 0);
  std::string expected = junk;
  expected.replace(expected.find("k=v") + 2, 1, "w");
  EXPECT_EQ(ReadBytes(file_), expected);

  fs::remove(file_);
  fs::create_directory(file_);
  EXPECT_EQ(Get("S", "k"), "default");
  EXPECT_EQ(Set("S", "k", "v"), 0);
  EXPECT_TRUE(fs::is_directory(file_));
}

TEST_F(ProfilePosixTest, LookupsGiveTheSameAnswerWhereverAFileIsCutIntoReadPieces) {
  // Reads take the file in pieces of 64 KiB, 128 KiB, ...: move the lines
  // that decide each answer across those boundaries, CRLF pairs included, in
  // a file in the code page and in one in UTF-16 (two bytes a character).
  enum { kCodePage, kLittleEndian, kBigEndian };
  for (const int encoding : {kCodePage, kLittleEndian, kBigEndian}) {
    const size_t unit = encoding == kCodePage ? 1 : 2, mark = encoding == kCodePage ? 0 : 2;
    for (const size_t boundary : {size_t{64 * 1024}, size_t{192 * 1024}}) {
      // From the boundary inside the line after the filler to inside the filler.
      for (size_t shift = 0; shift < 36; ++shift) {
        const std::string filler =
            ";" + std::string((boundary - mark) / unit - 24 + shift, 'x') + "\r\n";
        const std::string text = "[S]\r\na=1\r\n" + filler + "k=first\r\n[T]\r\n" + filler +
                                 "t=2\r\n[S]\r\nk=second\r\nm=3\r\n";
        WriteBytes(file_, encoding == kCodePage
                              ? text
                              : test_support::Utf16File(std::u16string(text.begin(), text.end()),
                                                        encoding == kBigEndian));
        const std::string where =
            "encoding " + std::to_string(encoding) + " shift " + std::to_string(shift);
        EXPECT_EQ(Get("S", "k"), "first") << where;
        EXPECT_EQ(Get("T", "t"), "2") << where;
        EXPECT_EQ(Get("S", "m"), "default") << where;
        EXPECT_EQ(GetPrivateProfileIntA("T", "t", 0, file_.c_str()), 2u) << where;
      }
    }
  }
}

TEST_F(ProfilePosixTest, AWriteKeepsPermissionsAndFollowsSymbolicLinks) {
  WriteBytes(file_, "[S]\nk=1\n");
  chmod(file_.c_str(), 0640);
  const fs::path link = dir_ / "link.ini";
  fs::create_symlink(file_, link);
  EXPECT_NE(WritePrivateProfileStringA("S", "k", "2", link.c_str()), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(file_), "[S]\nk=2\n");
  struct stat info;
  ASSERT_EQ(stat(file_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST_F(ProfilePosixTest, RemovingFromAMissingFileSucceedsWithoutCreatingIt) {
  EXPECT_NE(Set("S", "k", nullptr), 0);
  EXPECT_NE(Set("S", nullptr, nullptr), 0);
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(ProfilePosixTest, EveryWriteFlushOrRenameFailureFailsTheWriteAndLeavesTheFileWhole) {
  std::string before = "[BackUP_Save]\r\nSavePath=/backup\r\n[Error_LOG]\r\n";
  for (int i = 0; before.size() < 16 * 1024; ++i) {
    before += "2024/01/01 0:00:" + std::to_string(i) + "=/some/target/folder\r\n";
  }
  for (const std::string& bytes :
       {before, test_support::Utf16File(std::u16string(before.begin(), before.end()), false)}) {
    WriteBytes(file_, bytes);
    const size_t faults = test_support::ExpectFaultsLeaveFileWhole(file_, [&] {
      return WritePrivateProfileStringA("Error_LOG", "new", "entry", file_.c_str()) != 0;
    });
    EXPECT_EQ(faults, 3u);  // the one write, its flush, the rename
  }
}

TEST_F(ProfilePosixTest, TheRewrittenFileIsPrivateFromTheMomentItExists) {
  WriteBytes(file_, "[S]\nk=1\n");
  fs::permissions(file_, fs::perms(0600));
  std::vector<mode_t> created;
  {
    platform::posix::FaultInjector seam;
    seam.OnCreate([&](const std::string&, mode_t mode) { created.push_back(mode); });
    ASSERT_NE(Set("S", "k", "2"), 0);
  }
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0] & 077, 0u);
  EXPECT_EQ(fs::status(file_).permissions(), fs::perms(0600));
}

TEST_F(ProfilePosixTest, AFifoAsTheSettingsFileReadsAsEmptyAndRefusesWrites) {
  ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);
  EXPECT_EQ(Get("S", "k"), "default");
  EXPECT_EQ(Set("S", "k", "v"), 0);
  EXPECT_TRUE(fs::is_fifo(file_));
}

TEST_F(ProfilePosixTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kKeysEach = 500;
  // Into a UTF-16 file, which must stay one.
  WriteBytes(file_, test_support::Utf16File(u"[Keys]\r\n", false));
  pid_t children[2];
  for (int child = 0; child < 2; ++child) {
    children[child] = fork();
    ASSERT_GE(children[child], 0);
    if (children[child] == 0) {
      int failures = 0;
      for (int i = 0; i < kKeysEach; ++i) {
        const std::string key = "p" + std::to_string(child) + "_" + std::to_string(i);
        if (WritePrivateProfileStringA("Keys", key.c_str(), "x", file_.c_str()) == 0) ++failures;
      }
      _exit(failures == 0 ? 0 : 1);
    }
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::string keys(64 * 1024, '\0');
  GetPrivateProfileStringA("Keys", nullptr, "", keys.data(), keys.size(), file_.c_str());
  int count = 0;
  for (const char* item = keys.data(); *item; item += std::strlen(item) + 1) ++count;
  EXPECT_EQ(count, 2 * kKeysEach);
  EXPECT_EQ(ReadBytes(file_).substr(0, 4), std::string("\xFF\xFE[\0", 4));
}

TEST_F(ProfilePosixTest, EditsOfAUtf16FileKeepEveryLineTheyDoNotTouch) {
  using test_support::Utf16File;
  // LF line ends, blanks around '=', blank lines, an unpaired surrogate and
  // an odd last byte: none of it is how Windows would write the file.
  std::u16string text =
      u"; from Notepad \U0001F600\n\n[BackUP_Save]\n  SavePath =  /old  \nArchiveType = ZIP\n\n"
      u"[Error_LOG]\nbroken=\xDC00 kept\n2024/01/01=/a\n2024/01/01=/again\n\n[Other]\nx=1";
  for (const bool bigEndian : {false, true}) {
    std::u16string expected = text;
    WriteBytes(file_, Utf16File(text, bigEndian) + "!");
    const auto expect = [&](const char* step) {
      EXPECT_EQ(ReadBytes(file_), Utf16File(expected, bigEndian) + "!")
          << step << ", big-endian " << bigEndian;
    };
    EXPECT_NE(Set("backup_save", "SavePath", "/new"), 0);
    expected.replace(expected.find(u"/old"), 4, u"/new");
    expect("a value replaced");
    EXPECT_NE(Set("Error_LOG", "2024/01/02", "/b"), 0);
    expected.insert(expected.find(u"\n\n[Other]") + 1, u"2024/01/02=/b\n");
    expect("a key added");
    EXPECT_NE(Set("Error_LOG", "2024/01/01", nullptr), 0);
    expected.erase(expected.find(u"2024/01/01=/again\n"), 18);
    expected.erase(expected.find(u"2024/01/01=/a\n"), 14);
    expect("both lines of a key removed");
    EXPECT_NE(Set("New", "k", "v"), 0);
    expected += u"\n[New]\nk=v\n";
    expect("a section added after a last line without a break");
    EXPECT_NE(Set("Other", nullptr, nullptr), 0);
    expected.erase(expected.find(u"[Other]"), 12);
    expect("a section removed");
    EXPECT_EQ(Get("BackUP_Save", "SavePath"), "/new");
    EXPECT_EQ(Get("Error_LOG", "broken"), "\uFFFD kept");
  }
}

TEST_F(ProfilePosixTest, RemovingTheSectionWithTheEmptyNameTakesEveryHeaderOfThatName) {
  WriteBytes(file_, "k0=zero\n[]\nq=1\n[S]\nk=v\n[ ]\nr=2\n");
  EXPECT_NE(Set("", nullptr, nullptr), 0);
  EXPECT_EQ(ReadBytes(file_), "[S]\nk=v\n");
  // With no lines before the first header there is nothing to remove.
  EXPECT_NE(Set("", nullptr, nullptr), 0);
  EXPECT_EQ(ReadBytes(file_), "[S]\nk=v\n");
}

// Run in a child started with an empty environment, as cron or systemd would
// start the program: the code page must be UTF-8 and Japanese paths must work.
TEST(EmptyEnvironment, DISABLED_JapanesePathsWorkInChild) {
  ASSERT_EQ(platform::posix::LocaleCodeset(), "UTF-8");
  const test_support::ScratchFolder scratch;
  const fs::path dir = scratch / test_support::PathOf("設定フォルダ");
  fs::create_directory(dir);
  const std::string file =
      platform::ToMultiByte((dir / test_support::PathOf("表ソ能.ini")).string());
  const std::string value = platform::ToMultiByte("C:\\バックアップ\\表ソ能");
  EXPECT_NE(WritePrivateProfileStringA("BackUP_Target", "0000", value.c_str(), file.c_str()), 0);
  char out[256];
  GetPrivateProfileStringA("BackUP_Target", "0000", "", out, sizeof out, file.c_str());
  EXPECT_EQ(platform::ToUtf8(out), "C:\\バックアップ\\表ソ能");
  EXPECT_EQ(ReadBytes(file), "[BackUP_Target]\r\n0000=C:\\バックアップ\\表ソ能\r\n");
}

// Runs this test program again with only the test named filter (a disabled
// one) and the environment envp (NAME=value strings); true when it passed.
bool PassesInChild(const std::string& test, std::vector<std::string> environment) {
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string filter = "--gtest_filter=" + test;
  std::string disabled = "--gtest_also_run_disabled_tests";
  char* argv[] = {const_cast<char*>(self.c_str()), filter.data(), disabled.data(), nullptr};
  std::vector<char*> envp;
  for (std::string& variable : environment) envp.push_back(variable.data());
  envp.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return false;
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(EmptyEnvironment, JapanesePathsWorkWithoutLocaleVariables) {
  EXPECT_TRUE(PassesInChild("EmptyEnvironment.DISABLED_JapanesePathsWorkInChild", {}))
      << "the child's test failed";
}

// Run in a child whose code page is EUC-JP, which lacks characters a UTF-16
// file can hold.
TEST(EucJpSystem, DISABLED_Utf16FileInChild) {
  ASSERT_EQ(platform::posix::LocaleCodeset(), "EUC-JP");
  const test_support::ScratchFolder scratch;
  const std::string file = (scratch / "settings.ini").string();
  const std::u16string text = u"; \U0001F600 \u8868\r\n[S]\r\nk=\u8868\U0001F600\r\nm=1\r\n";
  WriteBytes(file, test_support::Utf16File(text, false));
  char out[256];
  GetPrivateProfileStringA("S", "k", "", out, sizeof out, file.c_str());
  EXPECT_EQ(std::string(out), "\xC9\xBD?");  // 表, and ? for what EUC-JP lacks
  EXPECT_NE(WritePrivateProfileStringA("S", "m", "\xC9\xBD", file.c_str()), 0);
  std::u16string after = text;
  after.replace(after.find(u"m=1"), 3, u"m=\u8868");
  EXPECT_EQ(ReadBytes(file), test_support::Utf16File(after, false));
}

TEST(EucJpSystem, AUtf16FileKeepsWhatTheCodePageLacks) {
  locale_t eucJp = newlocale(LC_CTYPE_MASK, "ja_JP.EUC-JP", static_cast<locale_t>(0));
  if (eucJp == static_cast<locale_t>(0)) {
    GTEST_SKIP()
        << "the ja_JP.EUC-JP locale is not installed (tools/install-deps.sh test makes it)";
  }
  freelocale(eucJp);
  EXPECT_TRUE(PassesInChild("EucJpSystem.DISABLED_Utf16FileInChild", {"LC_ALL=ja_JP.EUC-JP"}))
      << "the child's test failed";
}

// The run adds its "Error_LOG" entries to a file the user edits: one whose
// last line has no break gets one, and so does every line added after it,
// in the file's own style; nothing else changes.
TEST_F(ProfilePosixTest, ALineAddedAtTheEndEndsWithALineBreak) {
  const auto add = [&](const char* section, const char* key, const char* value) {
    std::string failure;
    EXPECT_TRUE(
        platform::WriteProfileStringUnderFreeKey(section, key, value, file_.c_str(), &failure))
        << failure;
  };
  WriteBytes(file_, "[BackUP_Save]\r\nSavePath=/b\r\n[Error_LOG]\r\n2026/12/06 22:00:05=/a");
  add("Error_LOG", "2026/12/07 22:00:05", "/b");
  EXPECT_EQ(ReadBytes(file_),
            "[BackUP_Save]\r\nSavePath=/b\r\n[Error_LOG]\r\n2026/12/06 22:00:05=/a\r\n"
            "2026/12/07 22:00:05=/b\r\n");

  WriteBytes(file_, "[BackUP_Save]\nSavePath=/b");
  add("Error_LOG", "2026/12/07 22:00:05", "/b");
  EXPECT_EQ(ReadBytes(file_), "[BackUP_Save]\nSavePath=/b\n[Error_LOG]\n2026/12/07 22:00:05=/b\n");

  WriteBytes(file_, "[Error_LOG]");
  add("Error_LOG", "2026/12/07 22:00:05", "/b");
  EXPECT_EQ(ReadBytes(file_), "[Error_LOG]\r\n2026/12/07 22:00:05=/b\r\n");

  // A value replaced in place adds no line: the file keeps its ending.
  WriteBytes(file_, "[S]\nk=1");
  EXPECT_NE(Set("S", "k", "2"), 0);
  EXPECT_EQ(ReadBytes(file_), "[S]\nk=2");
}

// The run's own record files refuse a link at their names, also one that
// names nothing yet; the settings file's entries still go through one.
TEST_F(ProfilePosixTest, ARecordFileRefusesALinkWhereTheSettingsFileFollowsIt) {
  using platform::ProfileLinks;
  const fs::path link = dir_ / "slotbackup.log", elsewhere = dir_ / "elsewhere.ini";
  WriteBytes(elsewhere, "[Recovery]\nkey=kept\n");
  fs::create_symlink(elsewhere, link);
  std::string failure;
  EXPECT_FALSE(platform::WriteProfileStringUnderFreeKey("Recovery", "new", "v", link.c_str(),
                                                        &failure, ProfileLinks::kRefuse));
  EXPECT_EQ(failure, "it is a symbolic link, not a regular file");
  failure.clear();
  EXPECT_FALSE(
      platform::DeleteProfileKey("Recovery", "key", link.c_str(), ProfileLinks::kRefuse, &failure));
  EXPECT_EQ(failure, "it is a symbolic link, not a regular file");
  // Nor does the write itself go through one planted after that first look.
  for (const bool create : {false, true}) {
    EXPECT_FALSE(platform::posix::ModifyProfile(
        link.c_str(), create, ProfileLinks::kRefuse,
        [](std::string_view old) { return platform::ini::SetValue(old, "Recovery", "k", "v"); }));
  }
  EXPECT_EQ(ReadBytes(elsewhere), "[Recovery]\nkey=kept\n");
  EXPECT_TRUE(fs::is_symlink(link));

  const fs::path dangling = dir_ / "slotbackup.recovery", nowhere = dir_ / "nowhere";
  fs::create_symlink(nowhere, dangling);
  EXPECT_FALSE(platform::WriteProfileStringUnderFreeKey("S", "k", "v", dangling.c_str(), &failure,
                                                        ProfileLinks::kRefuse));
  EXPECT_FALSE(platform::posix::ModifyProfile(
      dangling.c_str(), true, ProfileLinks::kRefuse,
      [](std::string_view old) { return platform::ini::SetValue(old, "S", "k", "v"); }));
  EXPECT_FALSE(fs::exists(nowhere));

  EXPECT_EQ(
      platform::WriteProfileStringUnderFreeKey("Recovery", "key", "v", link.c_str(), &failure),
      "key (2)")
      << failure;
  EXPECT_EQ(ReadBytes(elsewhere), "[Recovery]\nkey=kept\nkey (2)=v\n");
  EXPECT_TRUE(
      platform::DeleteProfileKey("Recovery", "key", link.c_str(), ProfileLinks::kFollow, &failure));
  EXPECT_EQ(ReadBytes(elsewhere), "[Recovery]\nkey (2)=v\n");
  EXPECT_TRUE(fs::is_symlink(link));
}

}  // namespace
