// Walking an archiver target: the target itself and, for a folder, every
// entry below it, named relative to the target's parent folder so that a
// folder is stored under its own name as the top directory.
#pragma once

#include <functional>
#include <string>

#include "platform/error.h"
#include "platform/file_info.h"

namespace archlib {

struct TreeEntry {
  enum class Kind { kFile, kDirectory, kSymlink };
  Kind kind;
  std::string diskPath;     // as given, joined with the system's separator
  std::string archivePath;  // relative to the target's parent, '/'-separated, no trailing '/'
  std::string linkTarget;   // for kSymlink
  platform::FileInfo info;  // of diskPath itself (what a target link leads to)
};

// What a walk that surveys a target, rather than archiving it, is told
// besides the entries.
struct WalkWatch {
  // A socket, FIFO, device or Windows reparse point below the target, which
  // the walk passes over.
  std::function<void(const std::string& diskPath, platform::FileKind kind)> passedOver;
  // When set, what the walk cannot read (the target, an entry, a folder's
  // listing) is told here and the walk goes on with the next entry; when
  // not, the walk throws it, as the archivers need.
  std::function<void(const platform::Error& failure)> cannotRead;
};

// Visits the target first, then a folder's entries in byte order of their
// names, parents before children. Paths and names are in the file layer's
// form (platform/folder_names.h). A target that is a symbolic link is
// followed; links below it are reported, never followed. Sockets, FIFOs and
// devices below the target are passed over, having no contents to keep, and
// so are reparse points on Windows (junctions and links), which are never
// followed: a folder is entered only once, so no loop can form.
// Throws archlib::Failure naming the path when the target is missing or is
// not a file or folder, or a folder cannot be read. A target
// of "/" or "." has an empty archivePath: it is the root, not an entry, and
// its contents are stored at the top. What visit throws ends the walk.
void WalkTarget(const std::string& target, const std::function<void(const TreeEntry&)>& visit,
                const WalkWatch& watch = {});

}  // namespace archlib
