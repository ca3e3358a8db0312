#include "sevenzip/byte_io.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/posix/file_error.h"

namespace sevenzip {

namespace {

constexpr size_t kBufferSize = 1 << 20;

}  // namespace

FileWriter::FileWriter(int fd, std::string name) : fd_(fd), name_(std::move(name)) {
  buffer_.reserve(kBufferSize);
}

void FileWriter::Write(std::string_view data) {
  if (buffer_.size() + data.size() > kBufferSize) {
    Flush();
    if (data.size() >= kBufferSize) {
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

}  // namespace sevenzip
