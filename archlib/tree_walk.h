// Walking an archiver target: the target itself and, for a folder, every
// entry below it, named relative to the target's parent folder so that a
// folder is stored under its own name as the top directory.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>

namespace archlib {

struct TreeEntry {
  enum class Kind { kFile, kDirectory, kSymlink };
  Kind kind;
  std::string diskPath;     // as given, joined with '/'
  std::string archivePath;  // relative to the target's parent, '/'-separated, no trailing '/'
  std::string linkTarget;   // for kSymlink
  struct stat info;         // lstat of diskPath
};

// Visits the target first, then a folder's entries in byte order of their
// names, parents before children. Symbolic links are reported, never
// followed. Throws archlib::Failure naming the path when the target is
// missing or a folder cannot be read; devices, sockets and FIFOs are
// refused the same way, since their contents cannot be archived. A target
// of "/" or "." has an empty archivePath: it is the root, not an entry, and
// its contents are stored at the top.
void WalkTarget(const std::string& target, const std::function<void(const TreeEntry&)>& visit);

}  // namespace archlib
