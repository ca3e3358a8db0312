#include "platform/posix/regular_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/error.h"
#include "platform/posix/file_error.h"
#include "platform/posix/io.h"
#include "platform/posix/system_calls.h"

namespace platform::posix {

namespace {

const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a file";
}

[[noreturn]] void NotRegular(const std::string& path, mode_t mode) {
  throw Error("cannot read " + path + ": it is " + KindOf(mode) + ", not a regular file");
}

// open() as Open describes it; -1 with errno set on failure.
int OpenNonBlocking(const std::string& path, Links links, Access access) {
  sys::Opening(path);
  int flags = (access == Access::kRead ? O_RDONLY : O_RDWR) | O_NONBLOCK | O_CLOEXEC;
  if (links == Links::kRefuse) flags |= O_NOFOLLOW;
  int fd;
  do {
    fd = open(path.c_str(), flags);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

[[noreturn]] void OpenFailed(const std::string& path, Links links, Access access, int error) {
  struct stat info;
  // O_NOFOLLOW reports a link at the name as ELOOP: say what it is.
  if (error == ELOOP && links == Links::kRefuse && lstat(path.c_str(), &info) == 0 &&
      S_ISLNK(info.st_mode)) {
    NotRegular(path, info.st_mode);
  }
  ThrowFileError(access == Access::kRead ? "cannot read" : "cannot open", path, error);
}

}  // namespace

RegularFile RegularFile::Open(const std::string& path, Links links, Access access) {
  const int fd = OpenNonBlocking(path, links, access);
  if (fd < 0) OpenFailed(path, links, access, errno);
  return RegularFile(posix::Descriptor(fd), path);
}

std::optional<RegularFile> RegularFile::OpenIfPresent(const std::string& path, Links links,
                                                      Access access) {
  const int fd = OpenNonBlocking(path, links, access);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    OpenFailed(path, links, access, errno);
  }
  return RegularFile(posix::Descriptor(fd), path);
}

RegularFile::RegularFile(posix::Descriptor fd, std::string path)
    : fd_(std::move(fd)), path_(std::move(path)) {
  if (fstat(fd_.get(), &info_) != 0) ThrowFileError("cannot read", path_, errno);
  if (!S_ISREG(info_.st_mode)) NotRegular(path_, info_.st_mode);
  const int flags = fcntl(fd_.get(), F_GETFL);
  if (flags < 0 || fcntl(fd_.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ThrowFileError("cannot read", path_, errno);
  }
  size_ = static_cast<uint64_t>(std::max<off_t>(info_.st_size, 0));
}

size_t RegularFile::Read(void* data, size_t size) {
  size = static_cast<size_t>(std::min<uint64_t>(size, size_ - std::min(position_, size_)));
  if (size == 0) return 0;
  for (;;) {
    const ssize_t n = pread(fd_.get(), data, size, static_cast<off_t>(position_));
    if (n >= 0) {
      position_ += static_cast<uint64_t>(n);
      return static_cast<size_t>(n);
    }
    if (errno != EINTR) ThrowFileError("cannot read", path_, errno);
  }
}

size_t RegularFile::ReadFully(void* data, size_t size) {
  size = static_cast<size_t>(std::min<uint64_t>(size, size_ - std::min(position_, size_)));
  const size_t n = ReadUpTo(fd_.get(), path_, position_, data, size);
  position_ += n;
  return n;
}

}  // namespace platform::posix
