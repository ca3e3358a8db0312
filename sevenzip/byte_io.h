// Little-endian fields and file descriptor I/O for the archive formats:
// a buffered writer that knows its offset, and exact positioned reads.
// Every failure throws archlib::Failure naming the file and the reason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archlib/little_endian.h"

namespace sevenzip {

using archlib::Get16;
using archlib::Get32;
using archlib::Get64;
using archlib::Put16;
using archlib::Put32;
using archlib::Put64;

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

// Reads exactly size bytes at offset; a short read is a failure.
void ReadAt(int fd, const std::string& name, uint64_t offset, void* data, size_t size);
// Writes all of data at the descriptor's current position.
void WriteAll(int fd, const std::string& name, const void* data, size_t size);
uint64_t FileSize(int fd, const std::string& name);

// Reads a whole regular file that is expected to be about sizeHint bytes.
std::vector<unsigned char> ReadWholeFile(const std::string& path, uint64_t sizeHint);

}  // namespace sevenzip
