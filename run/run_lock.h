// One run at a time per installation: the run holds the lock file beside the
// program for its whole length, and writes into it which process holds it
// and since when. A run that finds the lock held waits for it, so that the
// work of both runs gets done, and gives up only after kRunLockWait.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/file_lock.h"

namespace AppModule {

// Long enough for a nightly run over large folders to finish; short enough
// that a run waiting behind one that hangs gives up, and says so, before
// the next day's run starts.
inline constexpr std::chrono::hours kRunLockWait{12};

class RunLock {
 public:
  // Takes the lock of path, waiting up to wait. Throws platform::Error when
  // another run held it all that time ("Another run (process <id>, since
  // <date-time>) has held the run lock <path> ..."), when the file cannot be
  // opened, and platform::Interrupted when a signal arrives while waiting.
  RunLock(const std::string& path, std::chrono::milliseconds wait);

  // What the lock file said before this run took it: the last run that held
  // it ("process <id>, since <date-time>"), or empty.
  const std::string& PreviousHolder() const { return previousHolder_; }

 private:
  platform::FileLock lock_;
  std::string previousHolder_;
};

// Which run holds the lock of path now ("process <id>, since <date-time>"),
// or nothing when none does or there is no lock file. Takes the lock for a
// moment when it is free; never creates the file. Throws platform::Error
// when the file is there but cannot be opened.
std::optional<std::string> RunLockHolder(const std::string& path);

}  // namespace AppModule
