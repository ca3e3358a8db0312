#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/folder.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/file_error.h"
#include "platform/posix/system_calls.h"

namespace platform {

namespace {

EntryKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::kRegularFile;
  if (S_ISDIR(mode)) return EntryKind::kFolder;
  if (S_ISLNK(mode)) return EntryKind::kLink;
  return EntryKind::kOther;
}

const char* Described(EntryKind kind) {
  switch (kind) {
    case EntryKind::kFolder:
      return "a folder";
    case EntryKind::kLink:
      return "a symbolic link";
    case EntryKind::kRegularFile:
    case EntryKind::kOther:
      break;
  }
  return "a FIFO, socket or device";
}

// The folder part and the last name of path, split at its last '/'.
std::pair<std::string, std::string> Split(const std::string& path) {
  const size_t cut = path.find_last_of('/');
  if (cut == std::string::npos) return {".", path};
  return {cut == 0 ? "/" : path.substr(0, cut), path.substr(cut + 1)};
}

}  // namespace

std::vector<FolderEntry> ListFolder(const std::string& folder) {
  const std::string system = ToMultiByte(folder);
  // A FIFO at the folder's name must not block the open.
  posix::Descriptor fd(open(system.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) posix::ThrowFileError("cannot list", folder, errno);
  std::unique_ptr<DIR, int (*)(DIR*)> listing(fdopendir(fd.get()), closedir);
  if (!listing) posix::ThrowFileError("cannot list", folder, errno);
  const int at = fd.Release();  // closedir closes it
  std::vector<FolderEntry> entries;
  errno = 0;
  while (const dirent* entry = readdir(listing.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry found;
    found.name = ToUtf8(name);
    struct stat info;
    if (fstatat(at, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
      found.kind = KindOf(info.st_mode);
      if (found.kind == EntryKind::kRegularFile) found.bytes = static_cast<uint64_t>(info.st_size);
    } else if (errno != ENOENT) {
      posix::ThrowFileError("cannot list", folder, errno);
    } else {
      continue;  // removed since the folder was read
    }
    entries.push_back(std::move(found));
    errno = 0;
  }
  if (errno != 0) posix::ThrowFileError("cannot list", folder, errno);
  return entries;
}

uint64_t RemoveRegularFile(const std::string& path) {
  const auto [folder, name] = Split(ToMultiByte(path));
  if (name.empty()) throw Error("cannot remove " + path + ": it names a folder");
  posix::Descriptor at(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
  if (!at) posix::ThrowFileError("cannot remove", path, errno);
  struct stat info;
  if (fstatat(at.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    posix::ThrowFileError("cannot remove", path, errno);
  }
  const EntryKind kind = KindOf(info.st_mode);
  if (kind != EntryKind::kRegularFile) {
    throw Error("cannot remove " + path + ": it is " + Described(kind) + ", not a regular file");
  }
  // unlinkat without AT_REMOVEDIR never removes a folder, and a link that
  // replaced the file since is removed itself, never what it points to.
  if (posix::sys::RemoveAt(at.get(), name.c_str()) != 0) {
    posix::ThrowFileError("cannot remove", path, errno);
  }
  return static_cast<uint64_t>(info.st_size);
}

}  // namespace platform
