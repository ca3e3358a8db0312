#include "tools/check/read_back.h"

namespace check {

bool CanReadBack() {
  return false;
}

ReadBack ReadArchiveBack(const std::string&) {
  ReadBack result;
  result.message = "archives cannot be read back on this system";
  return result;
}

}  // namespace check
