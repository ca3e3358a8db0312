#include "platform/posix/fault_injection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <mutex>
#include <stdexcept>

#include "platform/posix/system_calls.h"

namespace platform::posix {

namespace {

// Call number `call` of a kind fails with `error`; 0 is never.
struct Planned {
  uint64_t call = 0;
  int error = 0;
};

enum Kind { kFileSync, kRename, kFolderSync, kRemove, kKinds };

}  // namespace

struct FaultInjector::State {
  std::mutex lock;
  Counts seen;
  Planned write;
  Planned planned[kKinds];
  size_t writeBytes = 0;   // what the failing write still transfers
  int writesFailWith = 0;  // once set, every write fails
  // A file whose reads fail from an offset on, or change it there.
  struct ReadPlan {
    dev_t device = 0;
    ino_t inode = 0;
    uint64_t bytes = 0;
    int error = 0;               // failing reads
    std::function<void()> then;  // changing the file
  };
  std::vector<ReadPlan> reads;
  size_t readsAtMost = 0;  // 0: reads are not shortened
  std::deque<uint64_t> numbers;
  std::function<void(const std::string&)> onOpen;
  std::function<void(const std::string&, mode_t)> onCreate;
};

namespace {

// The injector in place. Each call takes its own reference to the state,
// so that an injector going away while worker threads are in the layer
// cannot free what they use.
std::mutex installedLock;
std::shared_ptr<FaultInjector::State> installed;

std::shared_ptr<FaultInjector::State> Installed() {
  std::lock_guard<std::mutex> hold(installedLock);
  return installed;
}

// Counts a call of a kind; true, with errno set, when it is the one
// planned to fail.
bool Injected(Kind kind) {
  const std::shared_ptr<FaultInjector::State> state = Installed();
  if (state == nullptr) return false;
  std::lock_guard<std::mutex> hold(state->lock);
  FaultInjector::Counts& seen = state->seen;
  const uint64_t count = ++(kind == kFileSync     ? seen.fileSyncs
                            : kind == kRename     ? seen.renames
                            : kind == kFolderSync ? seen.folderSyncs
                                                  : seen.removes);
  const Planned& planned = state->planned[kind];
  if (planned.call == 0 || count != planned.call) return false;
  errno = planned.error;
  return true;
}

// Decides how much of a write of `size` bytes may go through; -1 with
// errno set when none may.
ssize_t WriteAllowance(size_t size) {
  const std::shared_ptr<FaultInjector::State> state = Installed();
  if (state == nullptr) return static_cast<ssize_t>(size);
  std::lock_guard<std::mutex> hold(state->lock);
  ++state->seen.writes;
  if (state->writesFailWith == 0 && state->write.call != 0 &&
      state->seen.writes == state->write.call) {
    state->writesFailWith = state->write.error;
    // A write no longer than the bytes allowed fails itself: otherwise the
    // planned fault would not happen at all when it is the last write.
    if (state->writeBytes > 0 && state->writeBytes < size) {
      size = state->writeBytes;
      state->seen.bytes += size;
      return static_cast<ssize_t>(size);
    }
  }
  if (state->writesFailWith != 0) {
    errno = state->writesFailWith;
    return -1;
  }
  state->seen.bytes += size;
  return static_cast<ssize_t>(size);
}

}  // namespace

FaultInjector::FaultInjector() : state_(std::make_shared<State>()) {
  std::lock_guard<std::mutex> hold(installedLock);
  if (installed) throw std::logic_error("a FaultInjector is already in place");
  installed = state_;
}

FaultInjector::~FaultInjector() {
  std::lock_guard<std::mutex> hold(installedLock);
  installed.reset();
}

void FaultInjector::FailWrite(uint64_t call, size_t bytes, int error) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->write = {call, error};
  state_->writeBytes = bytes;
}

void FaultInjector::FailFileSync(uint64_t call, int error) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->planned[kFileSync] = {call, error};
}

void FaultInjector::FailRename(uint64_t call, int error) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->planned[kRename] = {call, error};
}

void FaultInjector::FailFolderSync(uint64_t call, int error) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->planned[kFolderSync] = {call, error};
}

void FaultInjector::FailRemove(uint64_t call, int error) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->planned[kRemove] = {call, error};
}

namespace {

FaultInjector::State::ReadPlan PlanFor(const std::string& path, uint64_t bytes) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) throw std::logic_error("no file to plan reads of: " + path);
  FaultInjector::State::ReadPlan plan;
  plan.device = st.st_dev;
  plan.inode = st.st_ino;
  plan.bytes = bytes;
  return plan;
}

}  // namespace

void FaultInjector::FailRead(const std::string& path, uint64_t bytes, int error) {
  State::ReadPlan plan = PlanFor(path, bytes);
  plan.error = error;
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->reads.push_back(std::move(plan));
}

void FaultInjector::AfterReading(const std::string& path, uint64_t bytes,
                                 std::function<void()> then) {
  State::ReadPlan plan = PlanFor(path, bytes);
  plan.then = std::move(then);
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->reads.push_back(std::move(plan));
}

void FaultInjector::ShortenReads(size_t bytes) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->readsAtMost = bytes;
}

void FaultInjector::DrawNumbers(std::vector<uint64_t> numbers) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->numbers.assign(numbers.begin(), numbers.end());
}

void FaultInjector::OnOpen(std::function<void(const std::string&)> callback) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->onOpen = std::move(callback);
}

void FaultInjector::OnCreate(std::function<void(const std::string&, mode_t)> callback) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->onCreate = std::move(callback);
}

FaultInjector::Counts FaultInjector::Seen() const {
  std::lock_guard<std::mutex> hold(state_->lock);
  return state_->seen;
}

namespace sys {

ssize_t ReadAt(int fd, void* data, size_t size, off_t offset) {
  const std::shared_ptr<FaultInjector::State> state = Installed();
  if (state == nullptr) return pread(fd, data, size, offset);
  std::unique_lock<std::mutex> hold(state->lock);
  ++state->seen.reads;
  if (state->readsAtMost != 0) size = std::min(size, state->readsAtMost);
  struct stat st;
  const bool known = !state->reads.empty() && fstat(fd, &st) == 0;
  const uint64_t from = static_cast<uint64_t>(offset);
  std::function<void()> then;
  uint64_t thenAt = 0;
  for (const FaultInjector::State::ReadPlan& plan : state->reads) {
    if (!known || st.st_dev != plan.device || st.st_ino != plan.inode) continue;
    if (plan.error != 0) {
      if (from >= plan.bytes && size > 0) {
        errno = plan.error;
        return -1;
      }
      size = static_cast<size_t>(std::min<uint64_t>(size, plan.bytes - from));
    } else if (from < plan.bytes && from + size >= plan.bytes) {
      then = plan.then;
      thenAt = plan.bytes;
    }
  }
  hold.unlock();
  const ssize_t n = pread(fd, data, size, offset);
  if (then && n > 0 && from + static_cast<uint64_t>(n) >= thenAt) then();
  return n;
}

ssize_t Write(int fd, const void* data, size_t size) {
  const ssize_t allowed = WriteAllowance(size);
  if (allowed < 0) return -1;
  return write(fd, data, static_cast<size_t>(allowed));
}

ssize_t WriteAt(int fd, const void* data, size_t size, off_t offset) {
  const ssize_t allowed = WriteAllowance(size);
  if (allowed < 0) return -1;
  return pwrite(fd, data, static_cast<size_t>(allowed), offset);
}

int SyncFile(int fd) {
  return Injected(kFileSync) ? -1 : fsync(fd);
}

int Rename(const char* from, const char* to) {
  return Injected(kRename) ? -1 : rename(from, to);
}

int SyncFolder(int fd) {
  return Injected(kFolderSync) ? -1 : fsync(fd);
}

int RemoveAt(int folder, const char* name) {
  return Injected(kRemove) ? -1 : unlinkat(folder, name, 0);
}

uint64_t Random() {
  if (const std::shared_ptr<FaultInjector::State> state = Installed()) {
    std::lock_guard<std::mutex> hold(state->lock);
    if (!state->numbers.empty()) {
      const uint64_t next = state->numbers.front();
      state->numbers.pop_front();
      return next;
    }
  }
  return SystemRandom();
}

void Opening(const std::string& path) {
  const std::shared_ptr<FaultInjector::State> state = Installed();
  if (state == nullptr) return;
  std::function<void(const std::string&)> callback;
  {
    std::lock_guard<std::mutex> hold(state->lock);
    callback = state->onOpen;
  }
  if (callback) callback(path);
}

void Created(const std::string& path, int fd) {
  const std::shared_ptr<FaultInjector::State> state = Installed();
  if (state == nullptr) return;
  std::function<void(const std::string&, mode_t)> callback;
  {
    std::lock_guard<std::mutex> hold(state->lock);
    ++state->seen.creates;
    callback = state->onCreate;
  }
  struct stat info;
  if (callback && fstat(fd, &info) == 0) callback(path, info.st_mode & 07777);
}

}  // namespace sys

}  // namespace platform::posix
