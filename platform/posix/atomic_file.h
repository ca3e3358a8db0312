// Replacing a file atomically. The new content goes to a temporary file in
// the destination's folder named platform::TemporaryName(process id,
// random): the one name of every temporary file the program and its
// libraries create, which a later run may remove once its process is gone.
// It is created exclusively (O_CREAT | O_EXCL, drawing another name on a
// clash, so a file or link planted under the name is never opened) with
// permissions 0600, and given its final permissions before its first byte is
// written: it is never readable by more people than the file it becomes.
// Commit flushes it, closes it, renames it over the destination and flushes
// the folder, every result checked; on any other way out it is removed.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/posix/descriptor.h"

namespace platform::posix {

class AtomicFile {
 public:
  // `mode` is the final permission bits; without it, those of the regular
  // file at destination (links followed), else those of a new file (0666
  // less the umask). Throws platform::Error.
  explicit AtomicFile(const std::string& destination, std::optional<mode_t> mode = std::nullopt);
  // Removes the temporary file unless it was committed.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // The temporary file, open for reading and writing.
  const std::string& Path() const { return path_; }
  int Descriptor() const { return fd_.get(); }

  // Makes the written content the destination's. Throws platform::Error:
  // before the rename the destination is untouched and the temporary file
  // removed; a failure to flush the folder after it is reported too, the
  // new content then being in place but perhaps not yet on disk.
  void Commit();

 private:
  std::string destination_;
  std::string path_;
  posix::Descriptor fd_;
  bool committed_ = false;
};

// Creates path exclusively (never through a link) for reading and writing
// with `mode` less the umask. An invalid Descriptor with errno set on
// failure (EEXIST when something has that name).
Descriptor CreateExclusive(const std::string& path, mode_t mode);

// The permission bits of a newly created file: 0666 less the process's
// umask, read without changing it (0600 where it cannot be read).
mode_t NewFileMode();

}  // namespace platform::posix
