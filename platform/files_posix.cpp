#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/interrupt.h"

namespace platform {

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[noreturn]] void Fail(const std::string& what, int error) {
  throw Error(what + ": " + SystemErrorText(error));
}

void WriteAll(int fd, const char* data, size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot write " + path, errno);
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace

void ReplaceWithCopy(const std::string& source, const std::string& destination) {
  // File names cross to the system in its code page; messages keep the text.
  const std::string src = ToMultiByte(source), dst = ToMultiByte(destination);
  // A read-only copy is one its owner may not change: leave it be, as
  // Windows would refuse to replace it.
  struct stat old;
  const bool hasOld = stat(dst.c_str(), &old) == 0;
  if (hasOld && S_ISREG(old.st_mode) && (old.st_mode & S_IWUSR) == 0) {
    throw Error("Cannot replace " + destination + ": the file is read-only");
  }

  Descriptor in(open(src.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) Fail("Cannot copy " + source + " to " + destination, errno);
  struct stat from;
  if (fstat(in.get(), &from) != 0) Fail("Cannot copy " + source, errno);

  // A new file of a name nobody can guess or plant a link under: the save
  // folder may be shared, and the run may be root's.
  std::string temp = FolderOf(dst) + "/." + NameOf(dst) + ".XXXXXX";
  Descriptor out(mkostemp(temp.data(), O_CLOEXEC));
  if (out.get() < 0) Fail("Cannot copy " + source + " to " + destination, errno);
  try {
    fchmod(out.get(), (hasOld ? old.st_mode : from.st_mode) & 07777);
    std::vector<char> buffer(1 << 20);
    for (;;) {
      ThrowIfInterrupted();  // a long copy stops soon after a signal
      const ssize_t n = read(in.get(), buffer.data(), buffer.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        Fail("Cannot read " + source, errno);
      }
      if (n == 0) break;
      WriteAll(out.get(), buffer.data(), static_cast<size_t>(n), destination);
    }
    if (fsync(out.get()) != 0) Fail("Cannot write " + destination, errno);
    if (close(out.release()) != 0) Fail("Cannot write " + destination, errno);
    if (rename(temp.c_str(), dst.c_str()) != 0) {
      Fail("Cannot replace " + destination, errno);
    }
  } catch (...) {
    unlink(temp.c_str());
    throw;
  }
  Descriptor folder(open(FolderOf(dst).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) fsync(folder.get());
}

}  // namespace platform
