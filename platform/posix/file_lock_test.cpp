// The lock file on POSIX, written through the file layer: a full disk while
// the holder writes its text. (A FIFO or link at its name: the layer's
// OpenOrCreateRegular tests and the end-to-end tests.)
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/error.h"
#include "platform/file_lock.h"
#include "platform/posix/fault_injection.h"
#include "testing/support.h"

namespace {

namespace testing = test_support;
using namespace std::chrono_literals;
using testing::FailureOf;

TEST(FileLockTest, AFullDiskWhileTheHolderWritesItsTextIsReportedWithTheFile) {
  testing::ScratchFolder folder;
  const std::string path = (folder.path() / "slotbackup.lock").string();
  platform::FileLock lock(path);
  ASSERT_TRUE(lock.Acquire(0ms));
  {
    platform::posix::FaultInjector seam;
    seam.FailWrite(1, 4, ENOSPC);
    EXPECT_EQ(FailureOf([&] { lock.Describe("process 4242, since 2026/12/07 22:00:00"); }),
              "cannot write " + path + ": No space left on device");
  }
  // What was written is all a reader sees; the lock is still held.
  EXPECT_EQ(lock.Description(), "proc");
  platform::FileLock other(path);
  EXPECT_FALSE(other.Acquire(0ms));
}

}  // namespace
