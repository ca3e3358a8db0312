// An existing file opened to be read, whatever its name turns out to hold:
// anything but a regular file (a FIFO planted at an archive's name, a
// device, a folder, a symbolic link unless links are followed) is refused at
// once instead of blocking the call forever, and reads stop at the size the
// file had when it was opened. A file that grows meanwhile is read to that
// size, as it was then; so no reader takes more than the size it planned
// its memory for.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/descriptor.h"

namespace platform::posix {

enum class Links { kRefuse, kFollow };
enum class Access { kRead, kReadWrite };

class RegularFile {
 public:
  // Opens path with O_NONBLOCK | O_CLOEXEC (and O_NOFOLLOW unless links
  // are followed), checks with fstat that it is a regular file, then
  // clears O_NONBLOCK. Throws platform::Error naming the path and why.
  static RegularFile Open(const std::string& path, Links links = Links::kRefuse,
                          Access access = Access::kRead);
  // The same, but nothing when there is no file of that name.
  static std::optional<RegularFile> OpenIfPresent(const std::string& path,
                                                  Links links = Links::kRefuse,
                                                  Access access = Access::kRead);
  // Takes over a descriptor just opened on path, with the same check.
  RegularFile(posix::Descriptor fd, std::string path);

  int Descriptor() const { return fd_.get(); }
  const std::string& Path() const { return path_; }
  // fstat of the descriptor when it was opened.
  const struct stat& Info() const { return info_; }
  uint64_t Size() const { return size_; }

  // Reads on from the last read, at most `size` bytes; 0 at the size the
  // file had when opened, or at its end if it has since shrunk.
  size_t Read(void* data, size_t size);
  // Reads on until `size` bytes or that end; returns how many.
  size_t ReadFully(void* data, size_t size);
  // The next read starts at the beginning again.
  void Rewind() { position_ = 0; }

 private:
  posix::Descriptor fd_;
  std::string path_;
  struct stat info_ {};
  uint64_t size_ = 0;
  uint64_t position_ = 0;
};

// What is at a name that is not a regular file, in the words of the
// refusals below: "a FIFO", "a folder", "a symbolic link", ...
const char* KindOf(mode_t mode);

// Opens path for reading and writing, creating it with `mode` (less the
// umask) when nothing has that name, and refuses what RegularFile::Open
// refuses (a link included) in the same words: for a file that stays open
// while it is rewritten, such as a lock file, where a size fixed at the
// open would not do. Throws platform::Error "<what> <path>: <reason>".
posix::Descriptor OpenOrCreateRegular(const std::string& path, mode_t mode, std::string_view what);

}  // namespace platform::posix
