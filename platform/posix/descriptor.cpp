#include "platform/posix/descriptor.h"

#include <unistd.h>

#include <cerrno>

#include "platform/posix/file_error.h"

namespace platform::posix {

Descriptor::~Descriptor() {
  if (fd_ >= 0) close(fd_);
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

int Descriptor::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void Descriptor::Close(const std::string& name) {
  // The descriptor is gone whatever close() returns; EINTR is not retried.
  if (close(Release()) != 0 && errno != EINTR) ThrowFileError("cannot write", name, errno);
}

}  // namespace platform::posix
