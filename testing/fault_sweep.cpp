#include "testing/fault_sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/posix/fault_injection.h"
#include "testing/support.h"

namespace test_support {

using platform::posix::FaultInjector;

size_t SweepFaults(const std::function<void()>& prepare, const std::function<bool()>& operation,
                   const std::function<void(const std::string& fault, bool failed)>& check,
                   size_t writePoints) {
  FaultInjector::Counts calls;
  prepare();
  {
    FaultInjector counter;
    if (!operation()) {
      ADD_FAILURE() << "the operation fails without any fault";
      return 0;
    }
    calls = counter.Seen();
  }
  if (calls.writes == 0) ADD_FAILURE() << "the operation writes nothing through the file layer";
  size_t injected = 0;
  // Runs the operation with a fault planned; checks it when `happened`
  // says the fault came about.
  auto run = [&](const std::string& fault, const std::function<void(FaultInjector&)>& plan,
                 const std::function<bool(const FaultInjector&)>& happened) {
    prepare();
    bool failed, came;
    {
      FaultInjector injector;
      plan(injector);
      failed = !operation();
      came = happened(injector);
    }
    if (!came) return;
    check(fault, failed);
    ++injected;
  };
  const auto always = [](const FaultInjector&) { return true; };
  const uint64_t points = std::min<uint64_t>(writePoints, calls.writes);
  for (uint64_t k = 0; k < points; ++k) {
    // The first and the last write, and evenly between.
    uint64_t call = points == 1 ? 1 : 1 + k * (calls.writes - 1) / (points - 1);
    const int error = k % 2 == 0 ? ENOSPC : EIO;
    const size_t bytes = k % 4 < 2 ? 0 : 1;
    // Writers on several threads may cut their output into fewer writes
    // than the run that counted them: a write planned past the end is moved
    // to the last write that run made, so that the fault still happens.
    for (int attempt = 0;; ++attempt) {
      uint64_t seen = 0;
      run(
          "write " + std::to_string(call) + " of " + std::to_string(calls.writes) + " (" +
              std::to_string(bytes) + " bytes, then " + std::strerror(error) + ")",
          [&](FaultInjector& f) { f.FailWrite(call, bytes, error); },
          [&](const FaultInjector& f) { return (seen = f.Seen().writes) >= call; });
      if (seen >= call) break;
      if (attempt == 4 || seen == 0) {
        ADD_FAILURE() << "write " << call << " was never reached: the operation made " << seen;
        break;
      }
      call = seen;
    }
  }
  for (uint64_t call = 1; call <= calls.fileSyncs; ++call) {
    run(
        "flush " + std::to_string(call) + " of " + std::to_string(calls.fileSyncs),
        [&](FaultInjector& f) { f.FailFileSync(call, EIO); }, always);
  }
  for (uint64_t call = 1; call <= calls.renames; ++call) {
    run(
        "rename " + std::to_string(call) + " of " + std::to_string(calls.renames),
        [&](FaultInjector& f) { f.FailRename(call, EXDEV); }, always);
  }
  return injected;
}

size_t ExpectFaultsLeaveFileWhole(const fs::path& file, const std::function<bool()>& operation,
                                  size_t writePoints) {
  const std::string before = ReadBytes(file);
  return SweepFaults([&] { WriteBytes(file, before); }, operation,
                     [&](const std::string& fault, bool failed) {
                       EXPECT_TRUE(failed) << fault << " was reported as success";
                       EXPECT_EQ(ReadBytes(file), before) << fault;
                       EXPECT_EQ(TemporaryFiles(file.parent_path()), std::vector<std::string>{})
                           << fault;
                     },
                     writePoints);
}

}  // namespace test_support
