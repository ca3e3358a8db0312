#include "platform/posix/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/posix/file_error.h"
#include "platform/posix/system_calls.h"
#include "platform/temp_name.h"

namespace platform::posix {

namespace {

constexpr int kAttempts = 100;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

mode_t FinalMode(const std::string& destination, std::optional<mode_t> mode) {
  if (mode) return *mode & 07777;
  struct stat old;
  if (stat(destination.c_str(), &old) == 0 && S_ISREG(old.st_mode)) return old.st_mode & 07777;
  return NewFileMode();
}

// Makes the folder's entries durable after a rename. A file system that
// cannot flush a folder (EINVAL, ENOTSUP) offers nothing to wait for, and a
// folder one may write but not read (mode 0300) cannot be opened to ask.
void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == EACCES) return;
    ThrowFileError("cannot flush the folder", folder, errno);
  }
  Descriptor owner(fd);
  if (sys::SyncFolder(fd) != 0 && errno != EINVAL && errno != ENOTSUP && errno != EOPNOTSUPP) {
    ThrowFileError("cannot flush the folder", folder, errno);
  }
}

}  // namespace

Descriptor CreateExclusive(const std::string& path, mode_t mode) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) sys::Created(path, fd);
  return Descriptor(fd);
}

mode_t NewFileMode() {
  // Linux shows the umask in /proc/self/status; umask() itself could only
  // read it by changing it, under the feet of other threads.
  std::unique_ptr<FILE, int (*)(FILE*)> status(fopen("/proc/self/status", "re"), fclose);
  char line[256];
  while (status && fgets(line, sizeof line, status.get()) != nullptr) {
    unsigned mask;
    if (std::sscanf(line, "Umask: %o", &mask) == 1) return 0666 & ~static_cast<mode_t>(mask);
  }
  return 0600;
}

AtomicFile::AtomicFile(const std::string& destination, std::optional<mode_t> mode)
    : destination_(destination) {
  const std::string folder = FolderOf(destination);
  const mode_t final = FinalMode(destination, mode);
  for (int attempt = 0; attempt < kAttempts && !fd_; ++attempt) {
    path_ = InFolder(folder, TemporaryName(static_cast<uint32_t>(getpid()), sys::Random()));
    fd_ = CreateExclusive(path_, 0600);
    if (!fd_ && errno != EEXIST) {
      ThrowFileError("cannot create a temporary file in", folder, errno);
    }
  }
  if (!fd_) ThrowFileError("cannot create a temporary file in", folder, EEXIST);
  // A file system without Unix permissions (FAT) refuses to change them:
  // the file then has what the mount gives every file there.
  if (fchmod(fd_.get(), final) != 0 && errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) {
    const int error = errno;
    unlink(path_.c_str());
    ThrowFileError("cannot set the permissions for", destination, error);
  }
}

AtomicFile::~AtomicFile() {
  if (!committed_) unlink(path_.c_str());
}

void AtomicFile::Commit() {
  if (sys::SyncFile(fd_.get()) != 0) ThrowFileError("cannot write", destination_, errno);
  fd_.Close(destination_);
  if (sys::Rename(path_.c_str(), destination_.c_str()) != 0) {
    ThrowFileError("cannot replace", destination_, errno);
  }
  committed_ = true;
  SyncFolder(FolderOf(destination_));
}

}  // namespace platform::posix
