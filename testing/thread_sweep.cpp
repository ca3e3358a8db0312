#include "testing/thread_sweep.h"

#include <gtest/gtest.h>

#include <vector>

#include "archlib/thread_injection.h"
#include "testing/support.h"

namespace test_support {

uint64_t ExpectFailedStartsLeaveFileWhole(const std::filesystem::path& file, unsigned cores,
                                          const std::function<std::string()>& operation) {
  const std::string before = ReadBytes(file);
  for (uint64_t start = 1;; ++start) {
    archlib::ThreadInjector injector;
    injector.ForceCores(cores);
    injector.FailStart(start);
    const std::string failure = operation();
    if (injector.Starts() < start) {
      EXPECT_EQ(failure, "") << "with every thread started";
      return injector.Starts();
    }
    EXPECT_EQ(failure, "cannot start a thread: Resource temporarily unavailable")
        << "thread start " << start;
    EXPECT_TRUE(ReadBytes(file) == before) << "thread start " << start;
    EXPECT_EQ(TemporaryFiles(file.parent_path()), std::vector<std::string>{})
        << "thread start " << start;
    WriteBytes(file, before);
  }
}

}  // namespace test_support
