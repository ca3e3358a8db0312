#include "platform/win32/fault_injection.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <stdexcept>

#include "platform/win32/system_calls.h"

namespace platform::win32 {

namespace {

// Call number `call` of a kind fails with `error`; 0 is never.
struct Planned {
  uint64_t call = 0;
  DWORD error = 0;
};

enum Kind { kFlush, kMove, kRemove, kKinds };

}  // namespace

struct FaultInjector::State {
  std::mutex lock;
  Counts seen;
  Planned write;
  Planned planned[kKinds];
  size_t writeBytes = 0;     // what the failing write still transfers
  DWORD writesFailWith = 0;  // once set, every write fails
  std::deque<uint64_t> numbers;
  std::function<void(const std::string&)> onOpen;
  std::function<void(const std::string&)> onCreate;
};

namespace {

std::atomic<FaultInjector::State*> installed{nullptr};

// Counts a call of a kind; true, with the last error set, when it is the
// one planned to fail.
bool Injected(Kind kind) {
  FaultInjector::State* state = installed.load();
  if (state == nullptr) return false;
  std::lock_guard<std::mutex> hold(state->lock);
  FaultInjector::Counts& seen = state->seen;
  const uint64_t count = ++(kind == kFlush  ? seen.flushes
                            : kind == kMove ? seen.moves
                                            : seen.removes);
  const Planned& planned = state->planned[kind];
  if (planned.call == 0 || count != planned.call) return false;
  SetLastError(planned.error);
  return true;
}

// How much of a write of `size` bytes may go through; false, with the last
// error set, when none may.
bool WriteAllowance(DWORD* size) {
  FaultInjector::State* state = installed.load();
  if (state == nullptr) return true;
  std::lock_guard<std::mutex> hold(state->lock);
  ++state->seen.writes;
  if (state->writesFailWith == 0 && state->write.call != 0 &&
      state->seen.writes == state->write.call) {
    state->writesFailWith = state->write.error;
    // A write no longer than the bytes allowed fails itself: otherwise the
    // planned fault would not happen at all when it is the last write.
    if (state->writeBytes > 0 && state->writeBytes < *size) {
      *size = static_cast<DWORD>(state->writeBytes);
      state->seen.bytes += *size;
      return true;
    }
  }
  if (state->writesFailWith != 0) {
    SetLastError(state->writesFailWith);
    return false;
  }
  state->seen.bytes += *size;
  return true;
}

}  // namespace

FaultInjector::FaultInjector() : state_(std::make_unique<State>()) {
  State* expected = nullptr;
  if (!installed.compare_exchange_strong(expected, state_.get())) {
    throw std::logic_error("a FaultInjector is already in place");
  }
}

FaultInjector::~FaultInjector() {
  installed.store(nullptr);
}

void FaultInjector::FailWrite(uint64_t call, size_t bytes, DWORD error) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->write = {call, error};
  state_->writeBytes = bytes;
}

void FaultInjector::FailFlush(uint64_t call, DWORD error) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->planned[kFlush] = {call, error};
}

void FaultInjector::FailMove(uint64_t call, DWORD error) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->planned[kMove] = {call, error};
}

void FaultInjector::FailRemove(uint64_t call, DWORD error) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->planned[kRemove] = {call, error};
}

void FaultInjector::DrawNumbers(std::vector<uint64_t> numbers) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->numbers.assign(numbers.begin(), numbers.end());
}

void FaultInjector::OnOpen(std::function<void(const std::string&)> callback) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->onOpen = std::move(callback);
}

void FaultInjector::OnCreate(std::function<void(const std::string&)> callback) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->onCreate = std::move(callback);
}

FaultInjector::Counts FaultInjector::Seen() const {
  std::lock_guard<std::mutex> hold(state_->lock);
  return state_->seen;
}

namespace sys {

BOOL Write(HANDLE file, const void* data, DWORD size, uint64_t offset, DWORD* written) {
  if (!WriteAllowance(&size)) return FALSE;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return WriteFile(file, data, size, written, &at);
}

BOOL FlushFile(HANDLE file) {
  return Injected(kFlush) ? FALSE : FlushFileBuffers(file);
}

BOOL MoveOver(const wchar_t* from, const wchar_t* to) {
  return Injected(kMove)
             ? FALSE
             : MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

BOOL Remove(const wchar_t* path) {
  return Injected(kRemove) ? FALSE : DeleteFileW(path);
}

uint64_t Random() {
  if (FaultInjector::State* state = installed.load()) {
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
  FaultInjector::State* state = installed.load();
  if (state == nullptr) return;
  std::function<void(const std::string&)> onOpen;
  {
    std::lock_guard<std::mutex> hold(state->lock);
    onOpen = state->onOpen;
  }
  if (onOpen) onOpen(path);
}

void Created(const std::string& path) {
  FaultInjector::State* state = installed.load();
  if (state == nullptr) return;
  std::function<void(const std::string&)> onCreate;
  {
    std::lock_guard<std::mutex> hold(state->lock);
    ++state->seen.creates;
    onCreate = state->onCreate;
  }
  if (onCreate) onCreate(path);
}

}  // namespace sys

}  // namespace platform::win32
