#include "platform/file_path.h"
#include "platform/codepage.h"

namespace platform {

std::filesystem::path FileSystemPath(std::string_view utf8) {
  return std::filesystem::path(ToMultiByte(utf8));
}

std::string PathText(const std::filesystem::path& path) {
  return ToUtf8(path.native());
}

}  // namespace platform
