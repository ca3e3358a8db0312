// What the win32 platform pieces add over their POSIX twins: the real
// attribute flags, the system's date-time form, the ANSI code page, and
// replacing files that Windows marks hidden or read-only, the lock file
// opened as itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/program.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

fs::path ExePath(const platform::ProgramPath& program) {
  return test_support::PathOf(program.directory + "\\" + program.baseName + ".exe");
}

class Win32Folder : public ::testing::Test {
 protected:
  // The marks taken off, so that the scratch folder can be removed.
  void TearDown() override {
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
  }
  test_support::ScratchFolder root_;
};

TEST_F(Win32Folder, HiddenSystemFolderIsClearedAndRestoredWithTheWordReadBefore) {
  const fs::path folder = root_ / "target";
  fs::create_directory(folder);
  ASSERT_TRUE(SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  const std::string path = folder.string();

  const int32_t saved = platform::GetFolderAttributes(path);
  EXPECT_EQ(saved & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  platform::SetFolderAttributes(path, 0);
  EXPECT_EQ(platform::GetFolderAttributes(path), FILE_ATTRIBUTE_DIRECTORY);
  // The word still carries the directory flag, which no program may set.
  platform::SetFolderAttributes(path, saved);
  EXPECT_EQ(platform::GetFolderAttributes(path), saved);
}

TEST_F(Win32Folder, AFileOrAMissingPathIsNotAFolder) {
  test_support::WriteBytes(root_ / "file.txt", "x");
  for (const fs::path& path : {root_ / "file.txt", root_ / "absent"}) {
    try {
      platform::GetFolderAttributes(path.string());
      FAIL() << path;
    } catch (const platform::Error& e) {
      EXPECT_EQ(std::string(e.what()), "Path not found: " + path.string());
    }
    EXPECT_THROW(platform::SetFolderAttributes(path.string(), 0), platform::Error);
  }
}

TEST_F(Win32Folder, ReplaceWithCopyReplacesAHiddenCopyButNotAReadOnlyOne) {
  test_support::WriteBytes(root_ / "new.zip", "new archive");
  test_support::WriteBytes(root_ / "hidden.zip", "old");
  test_support::WriteBytes(root_ / "readonly.zip", "old");
  SetFileAttributesW((root_ / "hidden.zip").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW((root_ / "readonly.zip").c_str(), FILE_ATTRIBUTE_READONLY);

  platform::ReplaceWithCopy((root_ / "new.zip").string(), (root_ / "hidden.zip").string());
  EXPECT_EQ(test_support::ReadBytes(root_ / "hidden.zip"), "new archive");
  EXPECT_THROW(
      platform::ReplaceWithCopy((root_ / "new.zip").string(), (root_ / "readonly.zip").string()),
      platform::Error);
  EXPECT_EQ(test_support::ReadBytes(root_ / "readonly.zip"), "old");
  // No temporary file is left behind either way.
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 3);
}

TEST_F(Win32Folder, TheLockFileIsARegularFileOrNothingOpensIt) {
  const fs::path lock = root_ / "slotbackup.lock";
  {
    platform::FileLock first(test_support::Utf8Of(lock));
    EXPECT_TRUE(first.Acquire(std::chrono::milliseconds(0)));
  }
  fs::remove(lock);
  fs::create_directory(lock);
  const std::string failure =
      test_support::FailureOf([&] { platform::FileLock taken(test_support::Utf8Of(lock)); });
  EXPECT_NE(failure.find(": it is a folder, not a regular file"), std::string::npos) << failure;
}

TEST(Win32Clock, DateTimeTextIsTheUsersShortDateAndLongTimeWithTheDateAloneAtMidnight) {
  const platform::LocalTime evening{2026, 12, 7, 23, 39, 40};
  const platform::LocalTime midnight{2026, 12, 7, 0, 0, 0};
  const std::string both = platform::DateTimeText(evening);
  const std::string date = platform::DateTimeText(midnight);
  EXPECT_NE(date.find("2026"), std::string::npos) << date;
  ASSERT_GT(both.size(), date.size() + 1) << both;
  EXPECT_EQ(both.substr(0, date.size() + 1), date + " ");
  EXPECT_NE(both.find("39:40"), std::string::npos) << both;
}

TEST(Win32CodePage, TextRoundTripsThroughTheAnsiCodePage) {
  EXPECT_EQ(platform::ToUtf8(platform::ToMultiByte("C:\\Backup\\a b.zip")), "C:\\Backup\\a b.zip");
  EXPECT_EQ(platform::ToMultiByte(""), "");
  if (GetACP() == 932) {
    // Shift_JIS: two bytes for each of these characters.
    const std::string japanese = "書類_バックアップ";
    const std::string sjis = platform::ToMultiByte(japanese);
    EXPECT_EQ(sjis.size(), 2u * 8 + 1);
    EXPECT_EQ(platform::ToUtf8(sjis), japanese);
  }
}

TEST(Win32CodePage, InvalidBytesAreWhereNoCharacterOfTheCodePageStarts) {
  EXPECT_EQ(platform::InvalidBytes("C:\\Backup\\a b.zip"), std::vector<size_t>{});
  if (GetACP() == 932) {
    // 表 (95 5C) is whole; 0x81 starts a character that 0x7F cannot end, and
    // a last 0x95 starts one that never ends.
    EXPECT_EQ(platform::InvalidBytes("\x95\x5C"
                                     "a\x81\x7F"
                                     "b\x95"),
              (std::vector<size_t>{3, 6}));
  }
}

TEST(Win32Program, PathNamesThisExecutableWithoutExtensionOrTrailingSeparator) {
  const platform::ProgramPath program = platform::GetProgramPath();
  EXPECT_EQ(program.baseName, "platform_win32_test");
  ASSERT_FALSE(program.directory.empty());
  EXPECT_NE(program.directory.back(), '\\');
  EXPECT_TRUE(fs::exists(ExePath(program)));
}

}  // namespace
