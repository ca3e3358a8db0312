#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/posix/fault_injection.h"
#include "platform/readable_file.h"
#include "testing/fault_sweep.h"
#include "testing/processes.h"
#include "testing/support.h"

namespace fs = std::filesystem;
using platform::ReplaceWithCopy;

namespace {

using test_support::Names;
using test_support::ReadBytes;
using test_support::WriteBytes;

class ReplaceWithCopyTest : public ::testing::Test {
 protected:
  test_support::ScratchFolder root_;
};

TEST_F(ReplaceWithCopyTest, ReplacesAnOldCopyAndKeepsItsPermissions) {
  WriteBytes(root_ / "new.zip", "new archive");
  WriteBytes(root_ / "latest.zip", "old archive");
  fs::permissions(root_ / "latest.zip", fs::perms::owner_read | fs::perms::owner_write);
  ReplaceWithCopy((root_ / "new.zip").string(), (root_ / "latest.zip").string());
  EXPECT_EQ(ReadBytes(root_ / "latest.zip"), "new archive");
  EXPECT_EQ(fs::status(root_ / "latest.zip").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(Names(root_).size(), 2u);
}

TEST_F(ReplaceWithCopyTest, AMissingSourceLeavesTheOldCopyAndNamesTheFile) {
  WriteBytes(root_ / "latest.zip", "old archive");
  try {
    ReplaceWithCopy((root_ / "absent.zip").string(), (root_ / "latest.zip").string());
    FAIL();
  } catch (const platform::Error& e) {
    EXPECT_NE(std::string(e.what()).find("absent.zip"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadBytes(root_ / "latest.zip"), "old archive");
  EXPECT_EQ(Names(root_).size(), 1u);
}

TEST_F(ReplaceWithCopyTest, AReadOnlyOldCopyIsLeftAlone) {
  WriteBytes(root_ / "new.zip", "new archive");
  WriteBytes(root_ / "latest.zip", "old archive");
  fs::permissions(root_ / "latest.zip", fs::perms::owner_read);
  EXPECT_THROW(ReplaceWithCopy((root_ / "new.zip").string(), (root_ / "latest.zip").string()),
               platform::Error);
  EXPECT_EQ(ReadBytes(root_ / "latest.zip"), "old archive");
  EXPECT_EQ(Names(root_).size(), 2u);
}

TEST_F(ReplaceWithCopyTest, EveryWriteFlushOrRenameFailureLeavesTheOldCopyAndNoTemporaryFile) {
  std::string archive(3 << 20, '\0');
  for (size_t i = 0; i < archive.size(); ++i) archive[i] = static_cast<char>(i * 7919 >> 3);
  WriteBytes(root_ / "new.zip", archive);
  WriteBytes(root_ / "latest.zip", "old archive");
  const size_t faults = test_support::ExpectFaultsLeaveFileWhole(root_ / "latest.zip", [&] {
    try {
      ReplaceWithCopy((root_ / "new.zip").string(), (root_ / "latest.zip").string());
      return true;
    } catch (const platform::Error& e) {
      EXPECT_NE(std::string(e.what()).find("latest.zip"), std::string::npos) << e.what();
      return false;
    }
  });
  EXPECT_EQ(faults, 3u + 1u + 1u);  // a write for each MiB, the flush, the rename
}

TEST_F(ReplaceWithCopyTest, TheCopyIsPrivateFromTheMomentItExists) {
  WriteBytes(root_ / "new.zip", "new archive");
  fs::permissions(root_ / "new.zip", fs::perms(0644));
  WriteBytes(root_ / "latest.zip", "old archive");
  fs::permissions(root_ / "latest.zip", fs::perms(0600));
  std::vector<mode_t> created;
  {
    platform::posix::FaultInjector seam;
    seam.OnCreate([&](const std::string&, mode_t mode) { created.push_back(mode); });
    ReplaceWithCopy((root_ / "new.zip").string(), (root_ / "latest.zip").string());
  }
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0] & 077, 0u);
  EXPECT_EQ(fs::status(root_ / "latest.zip").permissions(), fs::perms(0600));
}

// Without an archiver the run copies an archive it did not write: a FIFO
// planted under that name must not block the run.
TEST_F(ReplaceWithCopyTest, AFifoAsTheSourceFailsAtOnce) {
  ASSERT_EQ(mkfifo((root_ / "new.zip").c_str(), 0600), 0);
  WriteBytes(root_ / "latest.zip", "old archive");
  try {
    ReplaceWithCopy((root_ / "new.zip").string(), (root_ / "latest.zip").string());
    FAIL();
  } catch (const platform::Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "cannot read " + (root_ / "new.zip").string() + ": it is a FIFO, not a regular file");
  }
  EXPECT_EQ(ReadBytes(root_ / "latest.zip"), "old archive");
  EXPECT_EQ(Names(root_).size(), 2u);
}

TEST(ReadRegularFile, ReadsAFileAndRefusesWhatIsNoneWithoutWaiting) {
  test_support::ScratchFolder scratch;
  const fs::path file = scratch.path() / "slotbackup.ini";
  WriteBytes(file, std::string("[s]\r\nk=\x93\xfa\0v\n", 13));
  EXPECT_EQ(platform::ReadRegularFile(file.string()), std::string("[s]\r\nk=\x93\xfa\0v\n", 13));
  fs::create_symlink(file, scratch.path() / "link.ini");
  EXPECT_EQ(platform::ReadRegularFile((scratch.path() / "link.ini").string()).size(), 13u)
      << "a link to a file is followed";

  ASSERT_EQ(mkfifo((scratch.path() / "fifo.ini").c_str(), 0600), 0);
  const std::string fifo = test_support::InChild(
      [&] {
        try {
          platform::ReadRegularFile((scratch.path() / "fifo.ini").string());
          return std::string("read");
        } catch (const platform::Error& e) {
          return std::string(e.what());
        }
      },
      std::chrono::seconds(10));
  EXPECT_NE(fifo.find("not a regular file"), std::string::npos) << fifo;
  EXPECT_THROW(platform::ReadRegularFile(scratch.path().string()), platform::Error);
  EXPECT_THROW(platform::ReadRegularFile((scratch.path() / "absent").string()), platform::Error);
}

}  // namespace
