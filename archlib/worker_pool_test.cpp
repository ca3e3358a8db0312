// The worker pool joins every thread it started, whether a start fails part
// way or a thread's work throws; and the rule for how many threads holds to
// the cores, the cap and the memory budget.
#include "archlib/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "archlib/entry.h"
#include "archlib/thread_injection.h"

namespace archlib {
namespace {

// Work that waits until it is told to stop, counting the threads that ran
// it to the end.
struct Waiting {
  std::mutex lock;
  std::condition_variable changed;
  bool stop = false;
  std::atomic<int> returned{0};

  void Stop() {
    {
      std::lock_guard<std::mutex> hold(lock);
      stop = true;
    }
    changed.notify_all();
  }
  void Work() {
    std::unique_lock<std::mutex> hold(lock);
    changed.wait(hold, [&] { return stop; });
    ++returned;
  }
};

TEST(WorkerPool, AStartThatFailsPartWayStopsAndJoinsThoseStartedAndSaysWhy) {
  ThreadInjector injector;
  injector.FailStart(4);
  Waiting waiting;
  WorkerPool pool([&] { waiting.Stop(); });
  std::string message;
  try {
    pool.Start(6, [&](unsigned) { waiting.Work(); });
  } catch (const Failure& e) {
    message = e.what();
  }
  EXPECT_EQ(message, "cannot start a thread: Resource temporarily unavailable");
  // Every thread started has returned by the time Start throws.
  EXPECT_EQ(waiting.returned, 3);
  EXPECT_EQ(injector.Starts(), 4u);
}

TEST(WorkerPool, TheFirstErrorIsRethrownOnceTheOthersWereToldToStopAndReturned) {
  Waiting waiting;
  WorkerPool pool([&] { waiting.Stop(); });
  // Share 0 is the calling thread's: it waits too, until the error stops it.
  try {
    pool.Run(3, [&](unsigned i) {
      if (i == 1) throw Failure("share 1 failed");
      waiting.Work();
    });
    ADD_FAILURE() << "no error";
  } catch (const Failure& e) {
    EXPECT_STREQ(e.what(), "share 1 failed");
  }
  EXPECT_EQ(waiting.returned, 2);
  // The error is reported once.
  EXPECT_NO_THROW(pool.Join());
}

TEST(WorkerThreads, CoresCappedThenCutToAQuarterOfMemoryAnd1GiBIn32Bits) {
  constexpr uint64_t MiB = 1 << 20, GiB = MiB << 10;
  EXPECT_EQ(WorkerThreads(2 * MiB, {2, 16 * GiB, false}), 2u);
  EXPECT_EQ(WorkerThreads(2 * MiB, {64, 16 * GiB, false}), kMaxThreads);
  EXPECT_EQ(WorkerThreads(2 * MiB, {0, 16 * GiB, false}), 1u);
  // 7z encoders of 192 MiB: a quarter of 4 GiB holds 5; 1 GiB of address
  // space 5 however much memory; not even one still gets one.
  EXPECT_EQ(WorkerThreads(192 * MiB, {64, 4 * GiB, false}), 5u);
  EXPECT_EQ(WorkerThreads(192 * MiB, {64, 256 * GiB, true}), 5u);
  EXPECT_EQ(WorkerThreads(192 * MiB, {64, 256 * GiB, false}), kMaxThreads);
  EXPECT_EQ(WorkerThreads(192 * MiB, {64, 512 * MiB, false}), 1u);
  // Memory the system does not tell leaves the address space as the limit.
  EXPECT_EQ(WorkerThreads(192 * MiB, {64, 0, true}), 5u);

  ThreadInjector injector;
  injector.ForceCores(64);
  EXPECT_EQ(ThisMachine().cores, 64u);
}

}  // namespace
}  // namespace archlib
