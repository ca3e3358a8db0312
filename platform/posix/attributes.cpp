// POSIX has no attribute word, so one is derived from what a folder has:
// 16 (directory) always, 1 (read-only) when its owner lacks write
// permission, 2 (hidden) when its name begins with a dot. Setting a word can
// only grant or remove the owner's write permission; everything else is left
// alone, so clearing (0) and then restoring the word read before leaves the
// folder exactly as it was.
#include <sys/stat.h>

#include <cerrno>

#include "platform/attributes.h"
#include "platform/codepage.h"
#include "platform/error.h"

namespace platform {

namespace {

constexpr int32_t kReadOnly = 0x1;
constexpr int32_t kHidden = 0x2;
constexpr int32_t kDirectory = 0x10;

struct stat StatFolder(const std::string& path) {
  struct stat info;
  if (path.empty() || stat(ToMultiByte(path).c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    throw Error("Path not found: " + path);
  }
  return info;
}

bool NameIsHidden(const std::string& path) {
  const size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return false;
  const size_t slash = path.find_last_of('/', end);
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  const std::string name = path.substr(start, end + 1 - start);
  return name.size() > 0 && name[0] == '.' && name != "." && name != "..";
}

}  // namespace

int32_t GetFolderAttributes(const std::string& path) {
  const struct stat info = StatFolder(path);
  int32_t word = kDirectory;
  if ((info.st_mode & S_IWUSR) == 0) word |= kReadOnly;
  if (NameIsHidden(path)) word |= kHidden;
  return word;
}

void SetFolderAttributes(const std::string& path, int32_t attributes) {
  const struct stat info = StatFolder(path);
  const mode_t mode = info.st_mode & 07777;
  const mode_t wanted = (attributes & kReadOnly) ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
  if (wanted != mode && chmod(ToMultiByte(path).c_str(), wanted) != 0) {
    throw Error("Cannot set the attributes of " + path + ": " + SystemErrorText(errno));
  }
}

}  // namespace platform
