// The worker pool's seam for tests and benchmarks (thread_calls.h): while a
// ThreadInjector lives, the pool plans for a chosen number of cores, and a
// chosen thread start fails as it does when the system has no thread left.
// Without an injector the number of cores comes from SLOTBACKUP_CORES when
// it is set to a positive number (so that a benchmark can force it on a
// program it starts), otherwise from the system.
#pragma once

#include <cstdint>
#include <memory>

namespace archlib {

class ThreadInjector {
 public:
  // Takes effect at once; only one may live at a time (std::logic_error).
  ThreadInjector();
  // Calls in progress on other threads finish with the injector's state.
  ~ThreadInjector();
  ThreadInjector(const ThreadInjector&) = delete;
  ThreadInjector& operator=(const ThreadInjector&) = delete;

  // The pool plans for this many cores; 0 is the system's count again.
  void ForceCores(unsigned cores);
  // Thread start number `start` (1 is the first after the injector was
  // made) fails; 0 is none.
  void FailStart(uint64_t start);
  // The starts seen so far, the failed one included.
  uint64_t Starts() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace archlib
