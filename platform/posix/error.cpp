#include <cstring>

#include "platform/error.h"
#include "platform/posix/file_error.h"

namespace platform {

std::string SystemErrorText(int code) {
  return std::strerror(code);
}

namespace posix {

void ThrowFileError(std::string_view what, const std::string& path, int error) {
  throw Error(std::string(what) + " " + path + ": " + SystemErrorText(error));
}

}  // namespace posix

}  // namespace platform
