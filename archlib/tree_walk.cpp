#include "archlib/tree_walk.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "archlib/entry.h"
#include "platform/posix/file_error.h"

namespace archlib {

namespace {

using platform::posix::ThrowFileError;

std::vector<std::string> ListFolder(const std::string& path) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.c_str()), closedir);
  if (!dir) ThrowFileError("cannot open folder", path, errno);
  std::vector<std::string> names;
  errno = 0;
  while (dirent* e = readdir(dir.get())) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      names.emplace_back(e->d_name);
    }
    errno = 0;
  }
  if (errno != 0) ThrowFileError("cannot read folder", path, errno);
  std::sort(names.begin(), names.end());
  return names;
}

// A step of the walk that may fail: without a watcher the failure is
// thrown, with one it is told and the step is skipped. Returns whether it
// succeeded.
template <typename Step>
bool Attempt(const WalkWatch& watch, Step step) {
  if (!watch.cannotRead) {
    step();
    return true;
  }
  try {
    step();
    return true;
  } catch (const Failure& failure) {
    watch.cannotRead(failure);
    return false;
  }
}

// Fills in what entry is; false for what archivers pass over. The target
// itself is followed when it is a link: a user who names a linked folder
// wants the folder backed up. Links below it are stored as links.
bool Classify(TreeEntry& entry, bool isTarget) {
  const int status = isTarget ? stat(entry.diskPath.c_str(), &entry.info)
                              : lstat(entry.diskPath.c_str(), &entry.info);
  if (status != 0) ThrowFileError("cannot read", entry.diskPath, errno);
  entry.linkTarget.clear();
  if (S_ISREG(entry.info.st_mode)) {
    entry.kind = TreeEntry::Kind::kFile;
  } else if (S_ISDIR(entry.info.st_mode)) {
    entry.kind = TreeEntry::Kind::kDirectory;
  } else if (S_ISLNK(entry.info.st_mode)) {
    entry.kind = TreeEntry::Kind::kSymlink;
    std::string buffer(static_cast<size_t>(entry.info.st_size) + 1, '\0');
    ssize_t n = readlink(entry.diskPath.c_str(), buffer.data(), buffer.size());
    if (n < 0) ThrowFileError("cannot read link", entry.diskPath, errno);
    buffer.resize(static_cast<size_t>(n));
    entry.linkTarget = std::move(buffer);
  } else if (isTarget) {
    throw Failure("not a file, folder or link: " + entry.diskPath);
  } else {
    // A socket, FIFO or device inside a folder has no contents to keep (and
    // opening a FIFO would wait forever); archivers pass over them.
    return false;
  }
  return true;
}

void Visit(TreeEntry& entry, bool isTarget, const std::function<void(const TreeEntry&)>& visit,
           const WalkWatch& watch) {
  bool kept = false;
  if (!Attempt(watch, [&] { kept = Classify(entry, isTarget); })) return;
  if (!kept) {
    if (watch.passedOver) watch.passedOver(entry.diskPath, entry.info.st_mode);
    return;
  }
  visit(entry);
  if (entry.kind != TreeEntry::Kind::kDirectory) return;

  const std::string disk = entry.diskPath;
  const std::string archive = entry.archivePath;
  std::vector<std::string> names;
  if (!Attempt(watch, [&] { names = ListFolder(disk); })) return;
  for (const std::string& name : names) {
    entry.diskPath = disk + "/" + name;
    entry.archivePath = archive.empty() ? name : archive + "/" + name;
    Visit(entry, false, visit, watch);
  }
}

// The target's own name: its last component, ignoring trailing separators.
std::string LastComponent(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return "";
  size_t start = path.find_last_of('/', end);
  start = start == std::string::npos ? 0 : start + 1;
  return path.substr(start, end + 1 - start);
}

}  // namespace

void WalkTarget(const std::string& target, const std::function<void(const TreeEntry&)>& visit,
                const WalkWatch& watch) {
  if (target.empty()) throw Failure("empty target");
  TreeEntry entry{};
  size_t end = target.find_last_not_of('/');
  entry.diskPath = end == std::string::npos ? "/" : target.substr(0, end + 1);
  entry.archivePath = LastComponent(target);
  // "." or ".." name no folder of their own; store their contents at the top.
  if (entry.archivePath == "." || entry.archivePath == "..") entry.archivePath.clear();
  Visit(entry, true, visit, watch);
}

}  // namespace archlib
