// What both archiver libraries do around their entry point: turn the outcome
// of a command into the result code and a one-line message in the caller's
// output area.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string_view>

namespace archlib {

// A command that failed; what() is the one-line reason shown to the caller.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Copies message into output, cut to size-1 bytes and always NUL-terminated;
// writes nothing when output is null or size is 0.
void WriteOutput(char* output, uint32_t size, std::string_view message);

// Runs command; returns 0 and writes successMessage when it completes,
// otherwise returns a non-zero code and writes the reason. Never throws.
int RunCommand(char* output, uint32_t size, const std::function<std::string()>& command);

}  // namespace archlib
