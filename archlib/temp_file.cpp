#include "archlib/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "archlib/entry.h"

namespace archlib {

namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw Failure(what + " " + path + ": " + std::strerror(error));
}

}  // namespace

TempFile::TempFile(const std::string& destination) : destination_(destination) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(destination);
  const auto clock = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = folder + "/.~" + std::to_string(getpid()) + "-" +
            std::to_string(static_cast<unsigned long long>(clock) % 1000000007ULL) + "-" +
            std::to_string(counter++) + ".tmp";
    // 0666 lets the umask decide, as for any newly created file.
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) break;
    if (errno != EEXIST) Fail("cannot create a temporary file in", folder, errno);
  }
  if (fd_ < 0) Fail("cannot create a temporary file in", folder, EEXIST);
  struct stat old;
  if (stat(destination.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    fchmod(fd_, old.st_mode & 07777);
  }
}

TempFile::~TempFile() {
  if (fd_ >= 0) close(fd_);
  if (!committed_) unlink(path_.c_str());
}

void TempFile::Commit() {
  if (fsync(fd_) != 0) Fail("cannot flush", path_, errno);
  int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) Fail("cannot write", path_, errno);
  if (rename(path_.c_str(), destination_.c_str()) != 0) {
    Fail("cannot replace", destination_, errno);
  }
  committed_ = true;
  // The rename is durable once the folder's entry is on disk.
  int dir = open(FolderOf(destination_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
}

}  // namespace archlib
