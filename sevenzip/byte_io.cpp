#include "sevenzip/byte_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "archlib/entry.h"

namespace sevenzip {

namespace {

constexpr size_t kBufferSize = 1 << 20;

[[noreturn]] void Fail(const std::string& what, const std::string& name, int error) {
  throw archlib::Failure(what + " " + name + ": " + std::strerror(error));
}

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
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n =
        pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot write", name_, errno);
    done += static_cast<size_t>(n);
  }
}

void WriteAll(int fd, const std::string& name, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot write", name, errno);
    p += n;
    size -= static_cast<size_t>(n);
  }
}

void ReadAt(int fd, const std::string& name, uint64_t offset, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = pread(fd, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot read", name, errno);
    if (n == 0) throw archlib::Failure("unexpected end of " + name);
    p += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
}

uint64_t FileSize(int fd, const std::string& name) {
  struct stat info;
  if (fstat(fd, &info) != 0) Fail("cannot read", name, errno);
  return static_cast<uint64_t>(info.st_size);
}

std::vector<unsigned char> ReadWholeFile(const std::string& path, uint64_t sizeHint) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) Fail("cannot read", path, errno);
  // Closed on every way out, a failed allocation included.
  const std::unique_ptr<const int, void (*)(const int*)> closer(&fd,
                                                                [](const int* f) { close(*f); });
  std::vector<unsigned char> data(static_cast<size_t>(sizeHint) + 1);
  size_t used = 0;
  for (;;) {
    if (used == data.size()) data.resize(data.size() * 2);
    ssize_t n = read(fd, data.data() + used, data.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot read", path, errno);
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  data.resize(used);
  return data;
}

}  // namespace sevenzip
