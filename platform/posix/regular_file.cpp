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

const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a file";
}

namespace {

[[noreturn]] void NotRegular(std::string_view what, const std::string& path, mode_t mode) {
  throw Error(std::string(what) + " " + path + ": it is " + KindOf(mode) + ", not a regular file");
}

// open() with O_NONBLOCK | O_CLOEXEC added, so that a FIFO at the name
// cannot block it; -1 with errno set on failure.
int OpenNonBlocking(const std::string& path, int flags, mode_t mode = 0) {
  sys::Opening(path);
  int fd;
  do {
    fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Throws "<failed> <path>: <reason>", or "<refused> <path>: it is a
// symbolic link, ..." where O_NOFOLLOW reported a link at the name as ELOOP.
[[noreturn]] void OpenFailed(const std::string& path, Links links, int error,
                             std::string_view failed, std::string_view refused) {
  struct stat info;
  if (error == ELOOP && links == Links::kRefuse && lstat(path.c_str(), &info) == 0 &&
      S_ISLNK(info.st_mode)) {
    NotRegular(refused, path, info.st_mode);
  }
  ThrowFileError(failed, path, error);
}

int Flags(Links links, Access access) {
  return (access == Access::kRead ? O_RDONLY : O_RDWR) | (links == Links::kRefuse ? O_NOFOLLOW : 0);
}

// A RegularFile's failures: "cannot open" for a failed open to write,
// "cannot read" for the rest, refusals included.
constexpr std::string_view kCannotRead = "cannot read";

std::string_view OpenVerb(Access access) {
  return access == Access::kRead ? kCannotRead : "cannot open";
}

// What is left of an open once it succeeded: fstat, refusing anything but
// a regular file, then reads that block again.
struct stat RequireRegular(int fd, std::string_view what, const std::string& path) {
  struct stat info;
  if (fstat(fd, &info) != 0) ThrowFileError(what, path, errno);
  if (!S_ISREG(info.st_mode)) NotRegular(what, path, info.st_mode);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) ThrowFileError(what, path, errno);
  return info;
}

}  // namespace

RegularFile RegularFile::Open(const std::string& path, Links links, Access access) {
  const int fd = OpenNonBlocking(path, Flags(links, access));
  if (fd < 0) OpenFailed(path, links, errno, OpenVerb(access), kCannotRead);
  return RegularFile(posix::Descriptor(fd), path);
}

std::optional<RegularFile> RegularFile::OpenIfPresent(const std::string& path, Links links,
                                                      Access access) {
  const int fd = OpenNonBlocking(path, Flags(links, access));
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    OpenFailed(path, links, errno, OpenVerb(access), kCannotRead);
  }
  return RegularFile(posix::Descriptor(fd), path);
}

RegularFile::RegularFile(posix::Descriptor fd, std::string path)
    : fd_(std::move(fd)), path_(std::move(path)) {
  info_ = RequireRegular(fd_.get(), kCannotRead, path_);
  size_ = static_cast<uint64_t>(std::max<off_t>(info_.st_size, 0));
}

size_t RegularFile::Read(void* data, size_t size) {
  size = static_cast<size_t>(std::min<uint64_t>(size, size_ - std::min(position_, size_)));
  if (size == 0) return 0;
  for (;;) {
    const ssize_t n = sys::ReadAt(fd_.get(), data, size, static_cast<off_t>(position_));
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

posix::Descriptor OpenOrCreateRegular(const std::string& path, mode_t mode, std::string_view what) {
  posix::Descriptor fd(OpenNonBlocking(path, O_RDWR | O_CREAT | O_NOFOLLOW, mode));
  if (!fd) OpenFailed(path, Links::kRefuse, errno, what, what);
  RequireRegular(fd.get(), what, path);
  return fd;
}

}  // namespace platform::posix
