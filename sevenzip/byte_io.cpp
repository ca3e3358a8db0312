#include "sevenzip/byte_io.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/file_error.h"

namespace sevenzip {

FileWriter::FileWriter(int fd, std::string name) : fd_(fd), name_(std::move(name)) {
  buffer_.reserve(kChunk);
}

void FileWriter::Write(std::string_view data) {
  if (buffer_.size() + data.size() > kChunk) {
    Flush();
    if (data.size() >= kChunk) {
      WriteAll(fd_, name_, data.data(), data.size());
      offset_ += data.size();
      return;
    }
  }
  buffer_.append(data);
  offset_ += data.size();
}

void FileWriter::Flush() {
  WriteAll(fd_, name_, buffer_.data(), buffer_.size());
  buffer_.clear();
}

void FileWriter::Patch(uint64_t offset, std::string_view data) {
  Flush();
  platform::posix::WriteAllAt(fd_, name_, offset, data.data(), data.size());
}

uint64_t FileSize(int fd, const std::string& name) {
  struct stat info;
  if (fstat(fd, &info) != 0) platform::posix::ThrowFileError("cannot read", name, errno);
  return static_cast<uint64_t>(info.st_size);
}

void CopyRange(FileWriter& out, int fd, const std::string& name, uint64_t offset, uint64_t length) {
  std::string buffer(static_cast<size_t>(std::min<uint64_t>(length, kChunk)), '\0');
  for (uint64_t done = 0; done < length;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(length - done, buffer.size()));
    ReadAt(fd, name, offset + done, buffer.data(), n);
    out.Write(std::string_view(buffer.data(), n));
    done += n;
  }
}

}  // namespace sevenzip
