#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/posix/atomic_file.h"
#include "platform/posix/io.h"
#include "platform/posix/regular_file.h"

namespace platform {

namespace {

void Copy(const std::string& source, const std::string& destination) {
  // A read-only copy is one its owner may not change: leave it be, as
  // Windows would refuse to replace it.
  struct stat old;
  const bool hasOld = stat(destination.c_str(), &old) == 0;
  if (hasOld && S_ISREG(old.st_mode) && (old.st_mode & S_IWUSR) == 0) {
    throw Error("Cannot replace " + destination + ": the file is read-only");
  }
  // The source may be a link the user made; it must not be a FIFO, which
  // would block the run.
  posix::RegularFile in = posix::RegularFile::Open(source, posix::Links::kFollow);
  posix::AtomicFile out(destination, (hasOld ? old.st_mode : in.Info().st_mode) & 07777);
  std::vector<char> buffer(1 << 20);
  while (const size_t n = in.Read(buffer.data(), buffer.size())) {
    ThrowIfInterrupted();  // a long copy stops soon after a signal
    posix::WriteAll(out.Descriptor(), destination, buffer.data(), n);
  }
  out.Commit();
}

}  // namespace

void ReplaceWithCopy(const std::string& source, const std::string& destination) {
  // File names cross to the system in its code page; the messages they end
  // up in come back as the program's text.
  try {
    Copy(ToMultiByte(source), ToMultiByte(destination));
  } catch (const Interrupted&) {
    throw;
  } catch (const Error& e) {
    throw Error(ToUtf8(e.what()));
  }
}

void RequireRegularFileOrNothing(const std::string& path) {
  const std::string bytes = ToMultiByte(path);
  struct stat info;
  if (lstat(bytes.c_str(), &info) != 0) {
    if (errno == ENOENT) return;
    throw Error("Cannot write " + path + ": " + SystemErrorText(errno));
  }
  if (!S_ISREG(info.st_mode)) {
    throw Error("Cannot write " + path + ": it is " + posix::KindOf(info.st_mode) +
                ", not a regular file");
  }
}

}  // namespace platform
