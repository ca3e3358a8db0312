// Buffered writing to the archive being built, with going back: to fill in
// a member's header once its data is written, or to drop data written in
// vain (compressed data that did not end up smaller).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/open_file.h"

namespace lha {

class OutFile {
 public:
  // Writes on from the end of file.
  explicit OutFile(const platform::OpenFile& file);

  uint64_t Offset() const { return offset_ + buffer_.size(); }
  // Bytes written to the file so far; the rest of Offset() is buffered.
  uint64_t Flushed() const { return offset_; }
  void Write(const uint8_t* data, size_t size);
  // Overwrites bytes written earlier at `offset`.
  void Patch(uint64_t offset, const uint8_t* data, size_t size);
  // Forgets everything from `offset` on; writing continues there.
  void Truncate(uint64_t offset);
  void Flush();

 private:
  platform::OpenFile file_;
  uint64_t offset_ = 0;  // where buffer_ goes
  std::vector<uint8_t> buffer_;
};

}  // namespace lha
