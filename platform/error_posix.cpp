#include <cstring>

#include "platform/error.h"

namespace platform {

std::string SystemErrorText(int code) {
  return std::strerror(code);
}

}  // namespace platform
