// The entries directly in one folder, seen as they are (a link is a link,
// never what it points to), and the removal of a file that refuses anything
// but a regular file: what the run needs to prune a slot's old archives
// without touching a folder, a link or a device that happens to carry an
// archive's name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class EntryKind { kRegularFile, kFolder, kLink, kOther };

struct FolderEntry {
  std::string name;  // the program's text (UTF-8)
  EntryKind kind = EntryKind::kOther;
  uint64_t bytes = 0;  // of a regular file; 0 for anything else
};

// Every entry of folder but "." and "..", in no particular order. Throws
// platform::Error "cannot list <folder>: <reason>".
std::vector<FolderEntry> ListFolder(const std::string& folder);

// Removes path if, when it is removed, it is a regular file, and returns its
// size. Anything else (a link, even to a regular file; a folder; a device)
// is refused and left as it is. Throws platform::Error naming the path and
// the reason.
uint64_t RemoveRegularFile(const std::string& path);

}  // namespace platform
