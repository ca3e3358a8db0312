#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/file_lock.h"
#include "platform/interrupt.h"

namespace platform {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw Error(what + " " + path + ": " + SystemErrorText(error));
}

}  // namespace

FileLock::FileLock(const std::string& path) : path_(path) {
  // Not through a link, and never blocking on a FIFO planted at the name.
  const int fd =
      open(ToMultiByte(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
  if (fd < 0) Fail("Cannot open the lock file", path, errno);
  struct stat info;
  const bool known = fstat(fd, &info) == 0;
  const int error = errno;
  if (!known || !S_ISREG(info.st_mode)) {
    close(fd);
    if (!known) Fail("Cannot open the lock file", path, error);
    throw Error("Cannot open the lock file " + path + ": it is not a regular file");
  }
  handle_ = fd;
}

FileLock::~FileLock() {
  close(static_cast<int>(handle_));
}

bool FileLock::Acquire(std::chrono::milliseconds bound) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + bound;
  std::chrono::milliseconds pause(10);
  for (;;) {
    ThrowIfInterrupted();
    if (flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) Fail("Cannot lock", path_, errno);
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    // Soon after a short run ends, at most a second late after a long one.
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(1000));
  }
}

void FileLock::Describe(const std::string& text) {
  const int fd = static_cast<int>(handle_);
  if (ftruncate(fd, 0) != 0) Fail("Cannot write", path_, errno);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("Cannot write", path_, errno);
    done += static_cast<size_t>(n);
  }
}

std::string FileLock::Description() const {
  std::string text;
  char buffer[1024];
  for (;;) {
    const ssize_t n =
        pread(static_cast<int>(handle_), buffer, sizeof buffer, static_cast<off_t>(text.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || text.size() > 64 * 1024) return text;
    text.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace platform
