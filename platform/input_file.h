// An existing file opened to be read, whatever its name turns out to hold:
// anything but a regular file (a FIFO or pipe planted at an archive's name,
// a device, a folder, a link or reparse point unless links are followed) is
// refused at once with its kind named, never waited on; and reads stop at
// the size the file had when it was opened, so a file that grows meanwhile
// is read as it was then and no reader takes more than it planned for. On
// Windows it is opened sharing reading, writing and deletion with others: a
// file another program holds without sharing fails with the system's
// sharing violation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/file_info.h"
#include "platform/open_file.h"

namespace platform {

class InputFile {
 public:
  // Throws platform::Error "cannot read <path>: <reason>", or "... it is a
  // FIFO, not a regular file".
  static InputFile Open(const std::string& path, Links links = Links::kNotFollowed);
  // The same, but nothing when there is no file of that name.
  static std::optional<InputFile> OpenIfPresent(const std::string& path,
                                                Links links = Links::kNotFollowed);
  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  const std::string& Path() const { return file_.Path(); }
  // The file when it was opened; its size then.
  const FileInfo& Info() const { return info_; }
  uint64_t Size() const { return info_.size; }
  // Positioned reads, which do not stop at Size().
  const OpenFile& File() const { return file_; }

  // Reads on from the last read, at most size bytes; 0 at Size(), or at the
  // end of the file if it has since shrunk.
  size_t Read(void* data, size_t size);
  // Reads on until size bytes or that end; returns how many.
  size_t ReadFully(void* data, size_t size);
  // The next read starts at the beginning again.
  void Rewind();

 private:
  struct Native;  // the open file as the system's layer holds it
  InputFile(std::unique_ptr<Native> native, OpenFile file, const FileInfo& info);

  std::unique_ptr<Native> native_;
  OpenFile file_;
  FileInfo info_;
};

}  // namespace platform
