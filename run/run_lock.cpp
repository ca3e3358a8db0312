#include "run/run_lock.h"

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/readable_file.h"

namespace AppModule {

namespace {

std::string Duration(std::chrono::milliseconds wait) {
  using std::chrono::duration_cast;
  if (wait >= std::chrono::hours(1) && wait % std::chrono::hours(1) == wait.zero()) {
    const auto hours = duration_cast<std::chrono::hours>(wait).count();
    return std::to_string(hours) + (hours == 1 ? " hour" : " hours");
  }
  if (wait >= std::chrono::seconds(1) && wait % std::chrono::seconds(1) == wait.zero()) {
    return std::to_string(duration_cast<std::chrono::seconds>(wait).count()) + " s";
  }
  return std::to_string(wait.count()) + " ms";
}

// What a holder wrote, kept to one short line whatever the file holds.
std::string HolderText(const std::string& text) {
  std::string line = text.substr(0, text.find_first_of("\r\n"));
  return line.size() > 200 ? line.substr(0, 200) : line;
}

}  // namespace

RunLock::RunLock(const std::string& path, std::chrono::milliseconds wait) : lock_(path) {
  if (!lock_.Acquire(wait)) {
    const std::string holder = HolderText(lock_.Description());
    throw platform::Error("Another run (" + (holder.empty() ? "unknown process" : holder) +
                          ") has held the run lock " + path + " for longer than this run waits (" +
                          Duration(wait) + ")");
  }
  previousHolder_ = HolderText(lock_.Description());
  lock_.Describe("process " + std::to_string(platform::CurrentProcessId()) + ", since " +
                 platform::DateTimeText(platform::Now()));
}

std::optional<std::string> RunLockHolder(const std::string& path) {
  try {
    platform::RequireReadableFile(path);
  } catch (const platform::Error&) {
    return std::nullopt;  // no lock file: no run has held it yet
  }
  platform::FileLock lock(path);
  if (lock.Acquire(std::chrono::milliseconds(0))) return std::nullopt;
  const std::string holder = HolderText(lock.Description());
  return holder.empty() ? "unknown process" : holder;
}

}  // namespace AppModule
