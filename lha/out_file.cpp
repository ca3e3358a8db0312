#include "lha/out_file.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/file_error.h"
#include "platform/posix/io.h"

namespace lha {

namespace {

constexpr size_t kBufferSize = 1 << 18;

const std::string kName = "the archive";

[[noreturn]] void Fail() {
  platform::posix::ThrowFileError("cannot write", kName, errno);
}

void WriteAt(int fd, uint64_t offset, const uint8_t* data, size_t size) {
  platform::posix::WriteAllAt(fd, kName, offset, data, size);
}

}  // namespace

OutFile::OutFile(int fd) : fd_(fd) {
  buffer_.reserve(kBufferSize);
  off_t at = lseek(fd, 0, SEEK_END);
  if (at < 0) Fail();
  offset_ = static_cast<uint64_t>(at);
}

void OutFile::Write(const uint8_t* data, size_t size) {
  if (buffer_.size() + size > kBufferSize) {
    Flush();
    if (size >= kBufferSize) {
      WriteAt(fd_, offset_, data, size);
      offset_ += size;
      return;
    }
  }
  buffer_.insert(buffer_.end(), data, data + size);
}

void OutFile::Flush() {
  WriteAt(fd_, offset_, buffer_.data(), buffer_.size());
  offset_ += buffer_.size();
  buffer_.clear();
}

void OutFile::Patch(uint64_t offset, const uint8_t* data, size_t size) {
  Flush();
  WriteAt(fd_, offset, data, size);
}

void OutFile::Truncate(uint64_t offset) {
  Flush();
  if (ftruncate(fd_, static_cast<off_t>(offset)) != 0) Fail();
  offset_ = offset;
}

}  // namespace lha
