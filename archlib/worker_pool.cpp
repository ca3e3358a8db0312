#include "archlib/worker_pool.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "archlib/entry.h"
#include "archlib/thread_calls.h"
#include "platform/processors.h"

namespace archlib {

namespace {

// The address space a 32-bit program may fill with its threads' buffers:
// half of the 2 GiB a 32-bit Windows program can map, leaving the rest to
// the program, the libraries, the stacks and fragmentation.
constexpr uint64_t kNarrowAddressBudget = uint64_t{1} << 30;

}  // namespace

Machine ThisMachine() {
  return Machine{threads::Cores(), platform::PhysicalMemory(), sizeof(void*) == 4};
}

unsigned WorkerThreads(uint64_t bytesPerThread, const Machine& machine) {
  const unsigned count = std::clamp(machine.cores, 1u, kMaxThreads);
  uint64_t budget = machine.physicalMemory != 0 ? machine.physicalMemory / 4 : UINT64_MAX;
  if (machine.narrowAddresses) budget = std::min(budget, kNarrowAddressBudget);
  if (bytesPerThread == 0) return count;
  return static_cast<unsigned>(std::clamp<uint64_t>(budget / bytesPerThread, 1, count));
}

WorkerPool::WorkerPool(std::function<void()> stop) : stop_(std::move(stop)) {}

WorkerPool::~WorkerPool() {
  Stop();
}

void WorkerPool::Start(unsigned count, const std::function<void(unsigned)>& work) {
  // Room first: a thread started must never be dropped unjoined.
  threads_.reserve(threads_.size() + count);
  for (unsigned i = 0; i < count; ++i) {
    try {
      threads_.push_back(threads::Start([this, work, i] {
        try {
          work(i);
        } catch (...) {
          Fail(std::current_exception());
        }
      }));
    } catch (const std::system_error& e) {
      Stop();
      throw Failure("cannot start a thread: " + e.code().message());
    } catch (...) {
      Stop();
      throw;
    }
  }
}

void WorkerPool::Run(unsigned count, const std::function<void(unsigned)>& work) {
  if (count == 0) return;
  Start(count - 1, [&work](unsigned i) { work(i + 1); });
  try {
    work(0);
  } catch (...) {
    Fail(std::current_exception());
  }
  Join();
}

void WorkerPool::Fail(std::exception_ptr error) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!error_) error_ = error;
  }
  stop_();
}

void WorkerPool::Join() {
  JoinAll();
  std::exception_ptr error;
  {
    std::lock_guard<std::mutex> hold(lock_);
    error = std::exchange(error_, nullptr);
  }
  if (error) std::rethrow_exception(error);
}

void WorkerPool::Stop() {
  stop_();
  JoinAll();
}

void WorkerPool::JoinAll() {
  for (std::thread& t : threads_) t.join();
  threads_.clear();
}

}  // namespace archlib
