// What an archive is made of: every entry found under the targets, with its
// name in the archive, gathered before anything is written.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "archlib/left_out.h"
#include "archlib/tree_walk.h"

namespace sevenzip {

// archivePath has a trailing '/' for folders.
struct Source {
  archlib::TreeEntry entry;
  std::string archivePath;
  bool IsFile() const { return entry.kind == archlib::TreeEntry::Kind::kFile; }
  bool IsFolder() const { return entry.kind == archlib::TreeEntry::Kind::kDirectory; }
  bool IsLink() const { return entry.kind == archlib::TreeEntry::Kind::kSymlink; }
};

// Walks every target. A later entry of the same name replaces an earlier
// one. The file (device, inode) being written is left out, so that an
// archive saved inside its own target never tries to contain itself. With
// leftOut, what the walk cannot read and each file that cannot be opened is
// added there and passed over (opened here, so that writing seldom has to
// start over); without, the walk throws it.
std::vector<Source> GatherSources(const std::vector<std::string>& targets, dev_t skipDevice,
                                  ino_t skipInode, archlib::LeftOut* leftOut = nullptr);

}  // namespace sevenzip
