#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/posix/regular_file.h"
#include "platform/readable_file.h"

namespace platform {

void RequireReadableFile(const std::string& path) {
  const std::string bytes = ToMultiByte(path);
  const auto fail = [&](const std::string& reason) {
    throw Error("Cannot read " + path + ": " + reason);
  };
  struct stat info;
  if (stat(bytes.c_str(), &info) != 0) {
    const int error = errno;
    struct stat link;
    if (error == ENOENT && lstat(bytes.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
      fail("it is a link to a file that does not exist");
    }
    fail(SystemErrorText(error));
  }
  if (S_ISDIR(info.st_mode)) fail("it is a folder, not a file");
  if (!S_ISREG(info.st_mode)) fail("it is not a regular file");
  // The open tells what stat cannot: whether this user may read it.
  const int fd = open(bytes.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) fail(SystemErrorText(errno));
  close(fd);
}

std::string ReadRegularFile(const std::string& path) {
  try {
    posix::RegularFile file = posix::RegularFile::Open(ToMultiByte(path), posix::Links::kFollow);
    std::string bytes(static_cast<size_t>(file.Size()), '\0');
    bytes.resize(file.ReadFully(bytes.data(), bytes.size()));
    return bytes;
  } catch (const Error& e) {
    // The layer names the path in the system's code page.
    throw Error(ToUtf8(e.what()));
  }
}

}  // namespace platform
