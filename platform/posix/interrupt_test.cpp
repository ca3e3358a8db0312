// The interrupt handler: what it gives back, and what the run sees after it.
// Each case runs in a process of its own, since the handlers and the note of
// a signal are for the whole process.
#include "platform/interrupt.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "testing/support.h"

namespace {

class InterruptDeathTest : public ::testing::Test {
 protected:
  void SetUp() override { chmod(folder_.path().c_str(), 0555); }
  mode_t Mode() const {
    struct stat info;
    return stat(folder_.path().c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
  }
  test_support::ScratchFolder folder_;
};

TEST_F(InterruptDeathTest, TheArmedFolderGetsTheModeItHadBeforeItWasCleared) {
  EXPECT_EXIT(
      {
        platform::InstallInterruptHandlers();
        platform::ArmFolderRestore(folder_.path().string());
        chmod(folder_.path().c_str(), 0755);  // cleared for the archiver
        raise(SIGHUP);
        bool thrown = false;
        try {
          platform::ThrowIfInterrupted();
        } catch (const platform::Interrupted& e) {
          thrown =
              e.Signal() == SIGHUP && std::string(e.what()) == "Interrupted by SIGHUP (signal 1)";
        }
        std::exit(Mode() == 0555 && platform::PendingInterrupt() == SIGHUP && thrown ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(InterruptDeathTest, ADisarmedFolderIsLeftAsTheRunLeftIt) {
  EXPECT_EXIT(
      {
        platform::InstallInterruptHandlers();
        platform::ArmFolderRestore(folder_.path().string());
        platform::DisarmFolderRestore();
        chmod(folder_.path().c_str(), 0700);
        raise(SIGINT);
        std::exit(Mode() == 0700 && platform::PendingInterrupt() == SIGINT ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(InterruptDeathTest, WithoutASignalNothingIsThrownAndAClosedPipeEndsNothing) {
  EXPECT_EXIT(
      {
        platform::InstallInterruptHandlers();
        platform::ThrowIfInterrupted();
        int fds[2];
        if (pipe(fds) != 0) std::exit(2);
        close(fds[0]);
        const bool failed = write(fds[1], "x", 1) < 0 && errno == EPIPE;
        std::exit(failed && platform::PendingInterrupt() == 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
