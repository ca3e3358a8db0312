// POSIX test support for whatever writes files through the file layer: a
// sweep that runs an operation again and again with a fault injected
// (platform/posix/fault_injection.h) at points spread over everything it
// writes, flushes and renames, so that a test can check what each failure
// leaves behind.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace test_support {

// Runs `operation` once under a FaultInjector to count its calls (it must
// succeed), then, after `prepare` each time, again with one fault each: a
// write failing with ENOSPC or EIO at up to `writePoints` write calls spread
// over all of them (with nothing or one byte of it written first), and a
// failing flush of each file and a failing rename of each. `check` gets a
// description of the fault and whether `operation` reported failure.
// Returns how many faults were injected.
size_t SweepFaults(const std::function<void()>& prepare, const std::function<bool()>& operation,
                   const std::function<void(const std::string& fault, bool failed)>& check,
                   size_t writePoints = 16);

// SweepFaults over an operation that replaces `file`: after each fault the
// operation must have reported failure, the file must hold exactly what it
// held before, and its folder no temporary file of ours.
size_t ExpectFaultsLeaveFileWhole(const std::filesystem::path& file,
                                  const std::function<bool()>& operation, size_t writePoints = 16);

}  // namespace test_support
