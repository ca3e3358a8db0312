#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/program.h"

namespace platform {

ProgramPath GetProgramPath() {
  // /proc/self/exe names the executable itself, symbolic links resolved.
  std::string path(4096, '\0');
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) {
      throw Error("Cannot find the program's own path: " + SystemErrorText(errno));
    }
    if (static_cast<size_t>(n) < path.size()) {
      path.resize(static_cast<size_t>(n));
      break;
    }
    path.resize(path.size() * 2);
  }
  // The program's text is UTF-8; the file system's names are in the system's
  // code page.
  path = ToUtf8(path);
  const size_t slash = path.find_last_of('/');
  ProgramPath result;
  result.directory = slash == 0 ? "/" : path.substr(0, slash);
  std::string name = path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  result.baseName = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  return result;
}

}  // namespace platform
