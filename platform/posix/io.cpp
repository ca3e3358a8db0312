#include "platform/posix/io.h"

#include <unistd.h>

#include <cerrno>

#include "platform/error.h"
#include "platform/posix/file_error.h"
#include "platform/posix/system_calls.h"

namespace platform::posix {

namespace {

// Writes through `transfer(data, size, done)` until everything is written.
template <typename Transfer>
void WriteThrough(const std::string& name, const void* data, size_t size, Transfer transfer) {
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = transfer(bytes + done, size - done, done);
    if (n < 0 && errno == EINTR) continue;
    // A regular file takes at least one byte or says why not; 0 would
    // loop forever.
    if (n <= 0) ThrowFileError("cannot write", name, n < 0 ? errno : EIO);
    done += static_cast<size_t>(n);
  }
}

}  // namespace

void WriteAll(int fd, const std::string& name, const void* data, size_t size) {
  WriteThrough(name, data, size,
               [&](const char* from, size_t left, size_t) { return sys::Write(fd, from, left); });
}

void WriteAllAt(int fd, const std::string& name, uint64_t offset, const void* data, size_t size) {
  WriteThrough(name, data, size, [&](const char* from, size_t left, size_t done) {
    return sys::WriteAt(fd, from, left, static_cast<off_t>(offset + done));
  });
}

size_t ReadUpTo(int fd, const std::string& name, uint64_t offset, void* data, size_t size) {
  char* bytes = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = sys::ReadAt(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowFileError("cannot read", name, errno);
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

void ReadAt(int fd, const std::string& name, uint64_t offset, void* data, size_t size) {
  if (ReadUpTo(fd, name, offset, data, size) != size) throw Error("unexpected end of " + name);
}

std::string ReadToEnd(int fd, const std::string& name) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowFileError("cannot read", name, errno);
    if (n == 0) return text;
    text.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace platform::posix
