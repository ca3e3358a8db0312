// A file the archiver libraries' file layer has opened, as the libraries
// read and write it: positioned reads, whole writes at an offset (sizes and
// offsets beyond 4 GiB included), its size, every result checked. It does
// not own the file: its owner (platform::InputFile, platform::AtomicFile)
// closes it, as a descriptor passed around is closed by whoever opened it.
// Failures throw platform::Error naming the path and the system's reason,
// in the system's code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_info.h"

namespace platform {

class OpenFile {
 public:
  // handle: a descriptor on POSIX, a HANDLE on Windows, opened by the layer
  // on path (the path as the layer takes it, for messages).
  OpenFile(intptr_t handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  // Reads from offset until size bytes or the end of the file; returns how
  // many it read.
  size_t ReadUpTo(uint64_t offset, void* data, size_t size) const;
  // Reads exactly size bytes at offset; ending early fails with
  // "unexpected end of <path>".
  void ReadAt(uint64_t offset, void* data, size_t size) const;
  // Writes all of data at offset. Writes pass through the fault-injection
  // seam.
  void WriteAt(uint64_t offset, const void* data, size_t size) const;
  // The file's size now; makes it size bytes long.
  uint64_t CurrentSize() const;
  void Resize(uint64_t size) const;
  // What the open file is now (its identity included).
  FileInfo Info() const;

 private:
  intptr_t handle_;
  std::string path_;
};

}  // namespace platform
