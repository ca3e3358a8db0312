#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/error.h"
#include "platform/files.h"

namespace fs = std::filesystem;
using platform::ReplaceWithCopy;

namespace {

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

size_t EntryCount(const fs::path& folder) {
  return static_cast<size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class ReplaceWithCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("slotbackup-files-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

TEST_F(ReplaceWithCopyTest, ReplacesAnOldCopyAndKeepsItsPermissions) {
  Write(root_ / "new.zip", "new archive");
  Write(root_ / "latest.zip", "old archive");
  fs::permissions(root_ / "latest.zip", fs::perms::owner_read | fs::perms::owner_write);
  ReplaceWithCopy((root_ / "new.zip").string(), (root_ / "latest.zip").string());
  EXPECT_EQ(Read(root_ / "latest.zip"), "new archive");
  EXPECT_EQ(fs::status(root_ / "latest.zip").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(EntryCount(root_), 2u);
}

TEST_F(ReplaceWithCopyTest, AMissingSourceLeavesTheOldCopyAndNamesTheFile) {
  Write(root_ / "latest.zip", "old archive");
  try {
    ReplaceWithCopy((root_ / "absent.zip").string(), (root_ / "latest.zip").string());
    FAIL();
  } catch (const platform::Error& e) {
    EXPECT_NE(std::string(e.what()).find("absent.zip"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Read(root_ / "latest.zip"), "old archive");
  EXPECT_EQ(EntryCount(root_), 1u);
}

TEST_F(ReplaceWithCopyTest, AReadOnlyOldCopyIsLeftAlone) {
  Write(root_ / "new.zip", "new archive");
  Write(root_ / "latest.zip", "old archive");
  fs::permissions(root_ / "latest.zip", fs::perms::owner_read);
  EXPECT_THROW(ReplaceWithCopy((root_ / "new.zip").string(), (root_ / "latest.zip").string()),
               platform::Error);
  EXPECT_EQ(Read(root_ / "latest.zip"), "old archive");
  EXPECT_EQ(EntryCount(root_), 2u);
}

TEST_F(ReplaceWithCopyTest, AFullDiskLeavesTheOldCopyWhole) {
  const fs::path disk = root_ / "disk";
  fs::create_directory(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << std::strerror(errno);
  }
  Write(root_ / "big.zip", std::string(256 * 1024, 'x'));
  Write(disk / "latest.zip", "old archive");
  EXPECT_THROW(ReplaceWithCopy((root_ / "big.zip").string(), (disk / "latest.zip").string()),
               platform::Error);
  EXPECT_EQ(Read(disk / "latest.zip"), "old archive");
  EXPECT_EQ(EntryCount(disk), 1u);
  umount(disk.c_str());
}

}  // namespace
