#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/abandoned.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/temp_name.h"

namespace platform {

namespace {

std::vector<AbandonedFile> Abandoned(const std::string& folder, bool remove) {
  std::vector<AbandonedFile> found;
  std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(ToMultiByte(folder).c_str()), closedir);
  if (!listing) return found;
  const int at = dirfd(listing.get());
  while (const dirent* entry = readdir(listing.get())) {
    const std::optional<uint32_t> owner = TemporaryNameOwner(entry->d_name);
    if (!owner) continue;
    struct stat info;
    if (fstatat(at, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) {
      continue;
    }
    if (ProcessIsRunning(*owner)) continue;
    AbandonedFile file;
    file.path = folder + (folder.ends_with('/') ? "" : "/") + entry->d_name;
    file.bytes = static_cast<uint64_t>(info.st_size);
    if (remove && unlinkat(at, entry->d_name, 0) != 0) file.failure = SystemErrorText(errno);
    found.push_back(std::move(file));
  }
  return found;
}

}  // namespace

std::vector<AbandonedFile> RemoveAbandonedTemporaryFiles(const std::string& folder) {
  return Abandoned(folder, true);
}

std::vector<AbandonedFile> FindAbandonedTemporaryFiles(const std::string& folder) {
  return Abandoned(folder, false);
}

}  // namespace platform
