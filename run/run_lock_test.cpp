// One run at a time: two lock objects on one file stand for two runs.
#include "run/run_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <thread>

#include "platform/error.h"
#include "platform/file_lock.h"
#include "platform/process.h"
#include "testing/support.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class RunLockTest : public ::testing::Test {
 protected:
  test_support::ScratchFolder dir_;
  std::string path_ = (dir_ / "slotbackup.lock").string();
};

TEST_F(RunLockTest, ASecondRunWaitsAndGoesOnWhenTheFirstEnds) {
  auto first = std::make_unique<AppModule::RunLock>(path_, 0ms);
  const auto started = std::chrono::steady_clock::now();
  std::thread ending([&] {
    std::this_thread::sleep_for(300ms);
    first.reset();
  });
  AppModule::RunLock second(path_, 30s);
  const auto waited = std::chrono::steady_clock::now() - started;
  ending.join();
  EXPECT_GE(waited, 250ms);
  // The second run learns who held the lock before it.
  EXPECT_EQ(second.PreviousHolder().rfind(
                "process " + std::to_string(platform::CurrentProcessId()) + ", since ", 0),
            0u)
      << second.PreviousHolder();
}

TEST_F(RunLockTest, ARunWaitingPastItsBoundSaysWhoHoldsTheLockAndSinceWhen) {
  AppModule::RunLock holder(path_, 0ms);
  const auto started = std::chrono::steady_clock::now();
  try {
    AppModule::RunLock waiting(path_, 200ms);
    FAIL() << "took a lock that was held";
  } catch (const platform::Error& e) {
    const std::string what = e.what();
    EXPECT_EQ(
        what.rfind(
            "Another run (process " + std::to_string(platform::CurrentProcessId()) + ", since ", 0),
        0u)
        << what;
    EXPECT_NE(
        what.find(") has held the run lock " + path_ + " for longer than this run waits (200 ms)"),
        std::string::npos)
        << what;
  }
  EXPECT_GE(std::chrono::steady_clock::now() - started, 200ms);
}

TEST_F(RunLockTest, AWaitingRunReadsTheHoldersLatestTextWhateverItsLength) {
  // Opened before the holder wrote anything: what it reads is not bound to
  // the file as it was then.
  platform::FileLock holder(path_), waiting(path_);
  ASSERT_TRUE(holder.Acquire(0ms));
  const std::string first = "process 1, since 2026/12/07 22:00:00" + std::string(5000, '.');
  holder.Describe(first);
  EXPECT_EQ(waiting.Description(), first);
  holder.Describe("process 22");
  EXPECT_EQ(waiting.Description(), "process 22");
  EXPECT_FALSE(waiting.Acquire(0ms));
}

TEST_F(RunLockTest, TheLockIsFreeAgainOnceItsHolderIsGoneAndAFolderIsNoLockFile) {
  { AppModule::RunLock once(path_, 0ms); }
  AppModule::RunLock again(path_, 0ms);
  fs::create_directory(dir_ / "folder.lock");
  EXPECT_THROW(AppModule::RunLock((dir_ / "folder.lock").string(), 0ms), platform::Error);
}

TEST_F(RunLockTest, AHolderIsToldWithoutDisturbingIt) {
  EXPECT_EQ(AppModule::RunLockHolder(path_), std::nullopt);
  EXPECT_FALSE(fs::exists(path_)) << "looking never creates the lock file";
  {
    AppModule::RunLock holder(path_, 0ms);
    const std::optional<std::string> held = AppModule::RunLockHolder(path_);
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(
        held->rfind("process " + std::to_string(platform::CurrentProcessId()) + ", since ", 0), 0u)
        << *held;
    EXPECT_EQ(AppModule::RunLockHolder(path_), held) << "still held after a look";
  }
  EXPECT_EQ(AppModule::RunLockHolder(path_), std::nullopt) << "a lock file left by a run is free";
  AppModule::RunLock next(path_, 0ms);  // and looking left it free
}

}  // namespace
