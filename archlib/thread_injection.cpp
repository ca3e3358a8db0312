#include "archlib/thread_injection.h"

#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>

#include "archlib/thread_calls.h"
#include "platform/processors.h"

namespace archlib {

struct ThreadInjector::State {
  std::mutex lock;
  unsigned cores = 0;
  uint64_t failAt = 0;
  uint64_t starts = 0;
};

namespace {

// The injector in place. A call holds its own reference to the state, so
// that an injector going away while a call uses the state cannot free it.
std::mutex installedLock;
std::shared_ptr<ThreadInjector::State> installed;

std::shared_ptr<ThreadInjector::State> Installed() {
  std::lock_guard<std::mutex> hold(installedLock);
  return installed;
}

unsigned CoresFromEnvironment() {
  const char* text = std::getenv("SLOTBACKUP_CORES");
  if (text == nullptr) return 0;
  char* end = nullptr;
  const unsigned long cores = std::strtoul(text, &end, 10);
  return end != text && *end == '\0' && cores <= 4096 ? static_cast<unsigned>(cores) : 0;
}

}  // namespace

ThreadInjector::ThreadInjector() : state_(std::make_shared<State>()) {
  std::lock_guard<std::mutex> hold(installedLock);
  if (installed) throw std::logic_error("a ThreadInjector is already in place");
  installed = state_;
}

ThreadInjector::~ThreadInjector() {
  std::lock_guard<std::mutex> hold(installedLock);
  installed.reset();
}

void ThreadInjector::ForceCores(unsigned cores) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->cores = cores;
}

void ThreadInjector::FailStart(uint64_t start) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->failAt = start;
}

uint64_t ThreadInjector::Starts() const {
  std::lock_guard<std::mutex> hold(state_->lock);
  return state_->starts;
}

namespace threads {

unsigned Cores() {
  if (const std::shared_ptr<ThreadInjector::State> state = Installed()) {
    std::lock_guard<std::mutex> hold(state->lock);
    if (state->cores != 0) return state->cores;
  }
  const unsigned forced = CoresFromEnvironment();
  return forced != 0 ? forced : platform::AllowedProcessors();
}

std::thread Start(std::function<void()> body) {
  if (const std::shared_ptr<ThreadInjector::State> state = Installed()) {
    std::lock_guard<std::mutex> hold(state->lock);
    if (++state->starts == state->failAt) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
  }
  return std::thread(std::move(body));
}

}  // namespace threads

}  // namespace archlib
