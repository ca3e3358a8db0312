// Replacing a file atomically, for the archiver libraries. The new content
// goes to a temporary file in the destination's folder under the one name
// of every temporary file (platform/temp_name.h), which a later run removes
// once its process is gone. It is created exclusively (a file or link
// planted under the name is never opened); Commit flushes it, closes it and
// puts it in place, every result checked: rename and a flush of the folder
// on POSIX, MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
// on Windows. On any other way out it is removed and the destination is
// left as it was.
//
// Readers: on POSIX the temporary file has its final permissions before
// its first byte (those of the destination, else a new file's); a scratch
// file never put in place is the owner's alone. On Windows both take the
// folder's inherited permissions, as any new file there does.
#pragma once

#include <memory>
#include <string>

#include "platform/open_file.h"

namespace platform {

class AtomicFile {
 public:
  enum class Readers { kAsDestination, kOwnerOnly };

  // Throws platform::Error naming the destination and the reason.
  explicit AtomicFile(const std::string& destination, Readers readers = Readers::kAsDestination);
  // Removes the temporary file unless it was committed.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // The temporary file, open for reading and writing.
  const std::string& Path() const { return file_.Path(); }
  const OpenFile& File() const { return file_; }

  // Makes the written content the destination's. Throws platform::Error:
  // before the file is put in place the destination is untouched and the
  // temporary file removed.
  void Commit();

 private:
  struct Native;  // the temporary file as the system's layer holds it
  std::unique_ptr<Native> native_;
  OpenFile file_;
};

}  // namespace platform
