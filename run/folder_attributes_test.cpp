#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/error.h"
#include "run/app_module.h"
#include "run/cleared_folder.h"
#include "run/program_files.h"
#include "testing/support.h"

namespace fs = std::filesystem;
using AppModule::FolderAttributes;

namespace {

constexpr int16_t kReadOnly = 1;
constexpr int16_t kHidden = 2;
constexpr int16_t kDirectory = 16;
constexpr int16_t kReadOnlySentinel = -1;

class FolderAttributesTest : public ::testing::Test {
 protected:
  test_support::ScratchFolder root_;
};

TEST_F(FolderAttributesTest, ReadingNeverChangesTheFolder) {
  fs::create_directory(root_ / "ro");
  fs::permissions(root_ / "ro", fs::perms::owner_write, fs::perm_options::remove);
  const auto before = fs::status(root_ / "ro").permissions();
  EXPECT_EQ(FolderAttributes((root_ / "ro").string(), kReadOnlySentinel), kDirectory | kReadOnly);
  EXPECT_EQ(fs::status(root_ / "ro").permissions(), before);
}

TEST_F(FolderAttributesTest, ClearingThenRestoringLeavesTheFolderAsItWas) {
  fs::create_directory(root_ / "ro");
  fs::permissions(root_ / "ro", fs::perms::owner_write | fs::perms::group_read,
                  fs::perm_options::remove);
  const std::string path = (root_ / "ro").string();
  const auto before = fs::status(path).permissions();
  const int16_t saved = FolderAttributes(path, kReadOnlySentinel);
  EXPECT_EQ(FolderAttributes(path, 0), kDirectory);
  EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_EQ(FolderAttributes(path, saved), saved);
  EXPECT_EQ(fs::status(path).permissions(), before);
}

TEST_F(FolderAttributesTest, DotFoldersReportHiddenAndTrailingSeparatorsAreIgnored) {
  fs::create_directory(root_ / ".cache");
  EXPECT_EQ(FolderAttributes((root_ / ".cache").string() + "/", kReadOnlySentinel),
            kDirectory | kHidden);
  EXPECT_EQ(FolderAttributes(root_.path().string(), kReadOnlySentinel), kDirectory);
}

TEST_F(FolderAttributesTest, AMissingFolderOrAFileIsPathNotFound) {
  test_support::WriteBytes(root_ / "file.txt", "x");
  for (const std::string& path :
       {(root_ / "absent").string(), (root_ / "file.txt").string(), std::string()}) {
    try {
      FolderAttributes(path, kReadOnlySentinel);
      ADD_FAILURE() << path;
    } catch (const platform::Error& e) {
      EXPECT_EQ(std::string(e.what()), "Path not found: " + path);
    }
  }
}

// The recovery file's lines, as the next run would read them.
std::vector<std::string> Records(const fs::path& file) {
  return test_support::SectionLines(file, AppModule::kClearedFolderSection);
}

TEST_F(FolderAttributesTest, AClearedFolderIsRecordedFromBeforeItIsClearedUntilItsWordIsBack) {
  fs::create_directory(root_ / "ro");
  fs::permissions(root_ / "ro", fs::perms::owner_write, fs::perm_options::remove);
  const std::string path = (root_ / "ro").string();
  const fs::path records = root_ / "slotbackup.recovery";
  {
    AppModule::ClearedFolder folder(records.string(), "0007", path);
    EXPECT_EQ(FolderAttributes(path, kReadOnlySentinel), kDirectory);
    EXPECT_EQ(Records(records), std::vector<std::string>{"0007=17 " + path});
    folder.Restore();
    EXPECT_EQ(FolderAttributes(path, kReadOnlySentinel), kDirectory | kReadOnly);
    EXPECT_TRUE(Records(records).empty());
  }
  try {
    AppModule::ClearedFolder folder(records.string(), "0008", path);
    throw platform::Error("the archiver could not be loaded");
  } catch (const platform::Error&) {
  }
  EXPECT_EQ(FolderAttributes(path, kReadOnlySentinel), kDirectory | kReadOnly);
  EXPECT_TRUE(Records(records).empty());
}

TEST_F(FolderAttributesTest, AFolderThatClearingLeavesAsItIsNeedsNoRecord) {
  fs::create_directory(root_ / "rw");
  const std::string path = (root_ / "rw").string();
  const fs::path records = root_ / "slotbackup.recovery";
  {
    AppModule::ClearedFolder folder(records.string(), "0003", path);
    EXPECT_FALSE(fs::exists(records));
    folder.Restore();
  }
  EXPECT_FALSE(fs::exists(records));
  EXPECT_EQ(FolderAttributes(path, kReadOnlySentinel), kDirectory);
}

TEST_F(FolderAttributesTest, AFolderWhoseRecordCannotBeWrittenIsNeverCleared) {
  fs::create_directory(root_ / "ro");
  fs::permissions(root_ / "ro", fs::perms::owner_write, fs::perm_options::remove);
  const std::string path = (root_ / "ro").string();
  EXPECT_THROW(AppModule::ClearedFolder((root_ / "gone" / "x.recovery").string(), "0000", path),
               platform::Error);
  EXPECT_EQ(FolderAttributes(path, kReadOnlySentinel), kDirectory | kReadOnly);
}

// The recovery file refuses a link at its name: no record is written through
// one (the folder is then never cleared), and none removed through one.
TEST_F(FolderAttributesTest, NoRecordIsWrittenOrRemovedThroughALinkAtTheRecoveryFile) {
  fs::create_directory(root_ / "ro");
  fs::permissions(root_ / "ro", fs::perms::owner_write, fs::perm_options::remove);
  const std::string path = (root_ / "ro").string();
  const fs::path records = root_ / "slotbackup.recovery", elsewhere = root_ / "elsewhere.ini";
  fs::create_symlink(elsewhere, records);
  EXPECT_THROW(AppModule::ClearedFolder(records.string(), "0000", path), platform::Error);
  EXPECT_FALSE(fs::exists(elsewhere));
  EXPECT_EQ(FolderAttributes(path, kReadOnlySentinel), kDirectory | kReadOnly);

  fs::remove(records);
  AppModule::ClearedFolder folder(records.string(), "0000", path);
  fs::copy_file(records, elsewhere);
  fs::remove(records);
  fs::create_symlink(elsewhere, records);
  EXPECT_THROW(folder.Restore(), platform::Error);
  EXPECT_EQ(FolderAttributes(path, kReadOnlySentinel), kDirectory | kReadOnly);
  EXPECT_EQ(Records(elsewhere), std::vector<std::string>{"0000=17 " + path});
}

}  // namespace
