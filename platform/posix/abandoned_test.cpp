// Which temporary files count as abandoned: those whose process has ended,
// also when nobody has collected it yet.
#include "platform/abandoned.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "platform/process.h"
#include "platform/temp_name.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

// A child process that ends at once and is not collected until Collect().
class EndedChild {
 public:
  EndedChild() : pid_(fork()) {
    if (pid_ == 0) _exit(0);
    siginfo_t info;
    waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT);  // ended, kept
  }
  ~EndedChild() { waitpid(pid_, nullptr, 0); }
  uint32_t Id() const { return static_cast<uint32_t>(pid_); }

 private:
  pid_t pid_;
};

TEST(ProcessIsRunning, OnlyAProcessThatHasEndedIsNotRunning) {
  EXPECT_TRUE(platform::ProcessIsRunning(platform::CurrentProcessId()));
  EXPECT_TRUE(platform::ProcessIsRunning(1));
  const pid_t sleeper = fork();
  if (sleeper == 0) {
    pause();
    _exit(0);
  }
  EXPECT_TRUE(platform::ProcessIsRunning(static_cast<uint32_t>(sleeper)));
  kill(sleeper, SIGKILL);
  waitpid(sleeper, nullptr, 0);
  EXPECT_FALSE(platform::ProcessIsRunning(static_cast<uint32_t>(sleeper)));
  {
    EndedChild zombie;  // ended, not yet collected: still ended
    EXPECT_FALSE(platform::ProcessIsRunning(zombie.Id()));
  }
  // Ids that would name process groups, or every process, are nobody's.
  EXPECT_FALSE(platform::ProcessIsRunning(0));
  EXPECT_FALSE(platform::ProcessIsRunning(static_cast<uint32_t>(INT_MAX) + 1));
  EXPECT_FALSE(platform::ProcessIsRunning(UINT32_MAX));
}

TEST(RemoveAbandonedTemporaryFiles, RemovesTheFilesOfEndedProcessesAndSaysSo) {
  const test_support::ScratchFolder folder;
  EndedChild ended;
  const std::string abandoned = platform::TemporaryName(ended.Id(), 1);
  const std::string running = platform::TemporaryName(platform::CurrentProcessId(), 2);
  test_support::WriteBytes(folder / abandoned, "12345");
  test_support::WriteBytes(folder / running, "x");
  const auto found = platform::RemoveAbandonedTemporaryFiles(folder.path().string());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].path, (folder / abandoned).string());
  EXPECT_EQ(found[0].bytes, 5u);
  EXPECT_EQ(found[0].failure, "");
  EXPECT_FALSE(fs::exists(folder / abandoned));
  EXPECT_TRUE(fs::exists(folder / running));
  // A folder that cannot be listed has nothing to remove.
  EXPECT_TRUE(platform::RemoveAbandonedTemporaryFiles((folder / "missing").string()).empty());
}

TEST(FindAbandonedTemporaryFiles, ListsWhatWouldBeRemovedAndLeavesIt) {
  const test_support::ScratchFolder folder;
  EndedChild ended;
  const std::string abandoned = platform::TemporaryName(ended.Id(), 1);
  test_support::WriteBytes(folder / abandoned, "123");
  test_support::WriteBytes(folder / platform::TemporaryName(platform::CurrentProcessId(), 2), "x");
  test_support::WriteBytes(folder / ".slotbackup-1-0123.tmp", "not quite the name");
  const auto found = platform::FindAbandonedTemporaryFiles(folder.path().string());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].path, (folder / abandoned).string());
  EXPECT_EQ(found[0].bytes, 3u);
  EXPECT_TRUE(fs::exists(folder / abandoned));
  EXPECT_EQ(platform::RemoveAbandonedTemporaryFiles(folder.path().string()).size(), 1u)
      << "the same file, then removed";
}

}  // namespace
