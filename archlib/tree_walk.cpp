#include "archlib/tree_walk.h"

#include <algorithm>
#include <vector>

#include "archlib/entry.h"
#include "platform/folder_names.h"

namespace archlib {

namespace {

using platform::FileKind;

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names = platform::FolderNames(path);
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
  entry.info = platform::Inspect(
      entry.diskPath, isTarget ? platform::Links::kFollowed : platform::Links::kNotFollowed);
  entry.linkTarget.clear();
  switch (entry.info.kind) {
    case FileKind::kRegular:
      entry.kind = TreeEntry::Kind::kFile;
      return true;
    case FileKind::kFolder:
      entry.kind = TreeEntry::Kind::kDirectory;
      return true;
    case FileKind::kLink:
      entry.kind = TreeEntry::Kind::kSymlink;
      entry.linkTarget = platform::ReadLink(entry.diskPath);
      return true;
    default:
      if (isTarget) {
        throw Failure("not a file, folder or link: " + entry.diskPath + " (" +
                      platform::KindName(entry.info.kind) + ")");
      }
      // A socket, FIFO or device inside a folder has no contents to keep (and
      // opening a FIFO would wait forever); a reparse point leads elsewhere.
      // Archivers pass over them.
      return false;
  }
}

// The folders from the target down to the one being listed, by identity:
// a folder met again below itself (a bind mount of a parent) would be
// walked without end.
using Ancestors = std::vector<platform::FileIdentity>;

void CheckNoLoop(const TreeEntry& entry, const Ancestors& ancestors) {
  // Some file systems give no identity at all.
  if (entry.info.identity.index == 0) return;
  if (std::find(ancestors.begin(), ancestors.end(), entry.info.identity) != ancestors.end()) {
    throw Failure("cannot read folder " + entry.diskPath +
                  ": it is a folder above it again, a loop");
  }
}

void Visit(TreeEntry& entry, bool isTarget, const std::function<void(const TreeEntry&)>& visit,
           const WalkWatch& watch, Ancestors& ancestors) {
  bool kept = false;
  if (!Attempt(watch, [&] { kept = Classify(entry, isTarget); })) return;
  if (!kept) {
    if (watch.passedOver) watch.passedOver(entry.diskPath, entry.info.kind);
    return;
  }
  if (entry.kind == TreeEntry::Kind::kDirectory &&
      !Attempt(watch, [&] { CheckNoLoop(entry, ancestors); })) {
    return;
  }
  visit(entry);
  if (entry.kind != TreeEntry::Kind::kDirectory) return;

  const std::string disk = entry.diskPath;
  const std::string archive = entry.archivePath;
  std::vector<std::string> names;
  if (!Attempt(watch, [&] { names = ListFolder(disk); })) return;
  ancestors.push_back(entry.info.identity);
  for (const std::string& name : names) {
    entry.diskPath = platform::JoinPath(disk, name);
    entry.archivePath = archive.empty() ? name : archive + "/" + name;
    Visit(entry, false, visit, watch, ancestors);
  }
  ancestors.pop_back();
}

// The path without separators at its end, but a root keeps its own.
std::string Trimmed(const std::string& path) {
  const size_t root = platform::PathRootLength(path);
  size_t end = path.size();
  while (end > root && platform::IsPathSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

// The target's own name: its last component; none for a root.
std::string LastComponent(const std::string& trimmed) {
  const size_t root = platform::PathRootLength(trimmed);
  size_t start = trimmed.size();
  while (start > root && !platform::IsPathSeparator(trimmed[start - 1])) --start;
  return trimmed.substr(start);
}

}  // namespace

void WalkTarget(const std::string& target, const std::function<void(const TreeEntry&)>& visit,
                const WalkWatch& watch) {
  if (target.empty()) throw Failure("empty target");
  TreeEntry entry{};
  entry.diskPath = Trimmed(target);
  entry.archivePath = LastComponent(entry.diskPath);
  // "." or ".." name no folder of their own; store their contents at the top.
  if (entry.archivePath == "." || entry.archivePath == "..") entry.archivePath.clear();
  Ancestors ancestors;
  Visit(entry, true, visit, watch, ancestors);
}

}  // namespace archlib
