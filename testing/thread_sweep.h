// Test support for what starts worker threads (archlib/worker_pool.h): a
// sweep that runs an operation again and again with the number of cores
// forced and one thread start failing each time (archlib/thread_injection.h),
// the first, then the second, and so on, until the operation starts no more
// threads than that.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace test_support {

// The sweep over an operation that replaces `file` and returns "" when it
// succeeds, otherwise the message it failed with. After each failed start
// the message must name the thread that could not start, the file must hold
// exactly what it held before, and its folder no temporary file of ours;
// with no start failing the operation must succeed. Returns the starts the
// operation made then.
uint64_t ExpectFailedStartsLeaveFileWhole(const std::filesystem::path& file, unsigned cores,
                                          const std::function<std::string()>& operation);

}  // namespace test_support
