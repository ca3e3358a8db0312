// Whole writes and reads on an open descriptor, retried after interruptions
// and short transfers. `name` is the file as messages name
// it; every failure throws platform::Error with it and the system's reason.
// Writes pass through the fault-injection seam (fault_injection.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::posix {

// Writes all of data at the descriptor's position, or at `offset`.
void WriteAll(int fd, const std::string& name, const void* data, size_t size);
void WriteAllAt(int fd, const std::string& name, uint64_t offset, const void* data, size_t size);

// Reads from `offset` until `size` bytes or the end of the file; returns
// how many it read.
size_t ReadUpTo(int fd, const std::string& name, uint64_t offset, void* data, size_t size);
// Reads exactly `size` bytes at `offset`; ending early fails with
// "unexpected end of <name>".
void ReadAt(int fd, const std::string& name, uint64_t offset, void* data, size_t size);

// Reads on from the descriptor's position to its end: for a pipe, until
// every writer has closed it.
std::string ReadToEnd(int fd, const std::string& name);

}  // namespace platform::posix
