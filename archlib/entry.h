// What both archiver libraries do around their entry point: turn the outcome
// of a command into the result code and a one-line message in the caller's
// output area.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/error.h"

namespace archlib {

// A command that failed; what() is the one-line reason shown to the caller.
// It is platform::Error, the type the file layer beneath the libraries
// reports through, so that a file the layer cannot read or write fails the
// command with the layer's own message.
using Failure = platform::Error;

// Copies message into output, cut to size-1 bytes and always NUL-terminated;
// writes nothing when output is null or size is 0.
void WriteOutput(char* output, uint32_t size, std::string_view message);

// Runs command; returns 0 and writes successMessage when it completes,
// otherwise returns a non-zero code and writes the reason. Never throws.
int RunCommand(char* output, uint32_t size, const std::function<std::string()>& command);

}  // namespace archlib
