// Little-endian fields and file descriptor I/O for the archive formats:
// a buffered writer that knows its offset, and exact positioned reads.
// Every failure throws archlib::Failure naming the file and the reason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sevenzip {

inline void Put16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}
inline void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
inline void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v & 0xFFFFFFFFu));
  Put32(out, static_cast<uint32_t>(v >> 32));
}
inline uint16_t Get16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t Get32(const unsigned char* p) {
  return Get16(p) | static_cast<uint32_t>(Get16(p + 2)) << 16;
}
inline uint64_t Get64(const unsigned char* p) {
  return Get32(p) | static_cast<uint64_t>(Get32(p + 4)) << 32;
}

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
