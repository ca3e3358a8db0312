// The archiver libraries' worker threads: a pool that starts them, asks
// them to stop and joins them, and joins every one it started whatever
// happens, a start the system refuses part way included; and the one rule
// for how many to start.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace archlib {

// Threads a pool starts at most, however many cores there are: beyond
// this, writing the archive and reading its files are the limit.
inline constexpr unsigned kMaxThreads = 8;

// What the rule for how many threads looks at.
struct Machine {
  unsigned cores = 1;            // the cores this process may run on
  uint64_t physicalMemory = 0;   // bytes; 0 when unknown
  bool narrowAddresses = false;  // a 32-bit program
};

// This process's machine: the cores it may run on (threads::Cores, which
// tests and benchmarks can force), the physical memory, and whether
// addresses are 32 bits wide.
Machine ThisMachine();

// Threads to start for work whose every thread holds `bytesPerThread` of
// its own: the cores, at most kMaxThreads, and no more than fit a budget of
// a quarter of physical memory (a backup runs beside the user's own work)
// and, in a 32-bit program, 1 GiB of address space. At least 1.
unsigned WorkerThreads(uint64_t bytesPerThread, const Machine& machine = ThisMachine());

class WorkerPool {
 public:
  // `stop` asks the threads' work to return soon (it sets a flag the work
  // checks, and wakes it). The pool calls it before it joins the threads on
  // Stop, on destruction, when a start fails and when a thread's work
  // throws: from any thread, and perhaps more than once.
  explicit WorkerPool(std::function<void()> stop);
  // Stops and joins the threads.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Starts `count` threads, the i-th running work(i). When the system
  // cannot start one, stops and joins those started and throws
  // archlib::Failure with the system's reason.
  void Start(unsigned count, const std::function<void(unsigned)>& work);
  // Runs work(0) on the calling thread and work(1) to work(count - 1) on
  // threads of their own, started as Start does; waits for them all and
  // rethrows the first error (Join).
  void Run(unsigned count, const std::function<void(unsigned)>& work);
  // Keeps the first error, of the threads' work or the caller's own share
  // of it, and asks the rest to stop.
  void Fail(std::exception_ptr error);
  // Waits for every thread to return, then rethrows the first error.
  void Join();
  // Asks the threads to stop and waits for them; errors are dropped.
  void Stop();

 private:
  void JoinAll();

  const std::function<void()> stop_;
  std::mutex lock_;
  std::exception_ptr error_;  // under lock_
  std::vector<std::thread> threads_;
};

}  // namespace archlib
