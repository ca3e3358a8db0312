#include "platform/posix/file_error.h"

#include "platform/error.h"

namespace platform::posix {

void ThrowFileError(std::string_view what, const std::string& path, int error) {
  throw Error(std::string(what) + " " + path + ": " + SystemErrorText(error));
}

}  // namespace platform::posix
