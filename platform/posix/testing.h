// Test support for whatever writes files through the layer: a scratch
// folder, its listing, and a sweep that runs an operation again and again
// with a fault injected at points spread over everything it writes, flushes
// and renames, so that a test can check what each failure leaves behind.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace platform::posix::testing {

// A new empty folder under the system's temporary folder, removed with
// everything in it (permissions restored first) when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The names in a folder, sorted.
std::vector<std::string> Names(const std::filesystem::path& folder);
// The names in a folder that are temporary files of ours (TemporaryNameOwner).
std::vector<std::string> TemporaryFiles(const std::filesystem::path& folder);
std::string ReadBytes(const std::filesystem::path& file);
// Writes the file whole, making the folders above it first.
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);
// `size` bytes drawn from random: they do not compress.
std::string Noise(std::mt19937& random, size_t size);
// `size` bytes of a few words in random order: text that compresses well.
std::string Words(std::mt19937& random, size_t size);

// The message of the platform::Error that body throws, or "" when it
// throws nothing.
std::string FailureOf(const std::function<void()>& body);

// Runs `body` in a child process and returns what it returns, or "blocked"
// when the child has not finished within `bound` (it is then killed): a
// call that a FIFO blocks would never return.
std::string InChild(const std::function<std::string()>& body,
                    std::chrono::seconds bound = std::chrono::seconds(60));

// Whether a command-line tool (an independent archive reader) is installed,
// and what a shell command prints, standard error included, in a UTF-8
// locale.
bool Installed(const std::string& tool);
std::string Output(const std::string& command);

// Runs `body` in a child process without privilege: as uid and gid 65534
// when the test runs as root, as the same user otherwise. Returns the
// child's exit status, or -1 when it did not exit normally.
int AsAnotherUser(const std::function<int()>& body);
// The same, returning what body returns (as InChild does), or "no ordinary
// user" when the child could not give up root.
std::string InChildAsAnotherUser(const std::function<std::string()>& body);

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

}  // namespace platform::posix::testing
