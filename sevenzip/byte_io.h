// Little-endian fields and file descriptor I/O for the archive formats: a
// buffered writer that knows its offset, the file layer's whole writes and
// exact positioned reads, and copying bytes from one file into another.
// Every failure throws archlib::Failure naming the file and the reason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archlib/little_endian.h"
#include "platform/posix/io.h"

namespace sevenzip {

using archlib::Get16;
using archlib::Get32;
using archlib::Get64;
using archlib::Put16;
using archlib::Put32;
using archlib::Put64;
// ReadAt(fd, name, offset, data, size): exactly size bytes, or a failure.
using platform::posix::ReadAt;
// WriteAll(fd, name, data, size): at the descriptor's position.
using platform::posix::WriteAll;

// The piece in which data is read, buffered and copied.
inline constexpr size_t kChunk = 1 << 20;

// Writes through a large buffer to a file descriptor it does not own.
class FileWriter {
 public:
  FileWriter(int fd, std::string name);
  void Write(std::string_view data);
  void Flush();
  uint64_t Offset() const { return offset_; }
  // Overwrites bytes already written (flushes first).
  void Patch(uint64_t offset, std::string_view data);

 private:
  int fd_;
  std::string name_;
  std::string buffer_;
  uint64_t offset_ = 0;
};

uint64_t FileSize(int fd, const std::string& name);

// Appends `length` bytes of the file fd (named name) from `offset` on.
void CopyRange(FileWriter& out, int fd, const std::string& name, uint64_t offset, uint64_t length);

}  // namespace sevenzip
