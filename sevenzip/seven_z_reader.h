// Reading a 7z archive with libarchive, as the check of a written archive
// and the carrying over of an old archive's entries both do.
#pragma once

#include <archive.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/posix/regular_file.h"

namespace sevenzip {

class SevenZReader {
 public:
  // The 7z archive at path, opened as a regular file. Throws
  // archlib::Failure.
  explicit SevenZReader(const std::string& path);
  // The one open as fd (named name), from its start, read through the
  // descriptor so that the name may meanwhile stand for something else.
  SevenZReader(int fd, const std::string& name);

  archive* get() const { return reader_.get(); }

  // Throws archlib::Failure "<what>: <why>" for an archive the reader could
  // not read: why its file is shorter than the archive says
  // (archlib/archive_end.h), for which libarchive gives no reason at all,
  // else libarchive's own reason.
  [[noreturn]] void Fail(const std::string& what) const;

 private:
  void Open(const std::string& name);

  std::optional<platform::posix::RegularFile> file_;
  int fd_;
  std::string name_;
  std::unique_ptr<archive, int (*)(archive*)> reader_;
};

}  // namespace sevenzip
