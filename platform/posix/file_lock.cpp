#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/file_lock.h"
#include "platform/interrupt.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/file_error.h"
#include "platform/posix/io.h"
#include "platform/posix/regular_file.h"

namespace platform {

struct FileLock::Handle {
  posix::Descriptor fd;
};

namespace {

// A holder's text is one short line; no more than this is ever read.
constexpr size_t kDescriptionLimit = 64 * 1024;

}  // namespace

FileLock::FileLock(const std::string& path) : path_(path) {
  // Not through a link, and never blocking on a FIFO planted at the name.
  try {
    handle_.reset(new Handle{
        posix::OpenOrCreateRegular(ToMultiByte(path), 0644, "Cannot open the lock file")});
  } catch (const Error& e) {
    throw Error(ToUtf8(e.what()));
  }
}

FileLock::~FileLock() = default;

bool FileLock::Acquire(std::chrono::milliseconds bound) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + bound;
  std::chrono::milliseconds pause(10);
  for (;;) {
    ThrowIfInterrupted();
    if (flock(handle_->fd.get(), LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) posix::ThrowFileError("Cannot lock", path_, errno);
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    // Soon after a short run ends, at most a second late after a long one.
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(1000));
  }
}

void FileLock::Describe(const std::string& text) {
  const int fd = handle_->fd.get();
  if (ftruncate(fd, 0) != 0) posix::ThrowFileError("cannot write", path_, errno);
  posix::WriteAllAt(fd, path_, 0, text.data(), text.size());
}

std::string FileLock::Description() const {
  std::string text(kDescriptionLimit, '\0');
  text.resize(posix::ReadUpTo(handle_->fd.get(), path_, 0, text.data(), text.size()));
  return text;
}

}  // namespace platform
