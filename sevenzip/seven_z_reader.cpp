#include "sevenzip/seven_z_reader.h"

#include <unistd.h>

#include <new>

#include "archlib/entry.h"
#include "sevenzip/byte_io.h"

namespace sevenzip {

namespace {

ArchiveReader NewReader() {
  ArchiveReader reader(archive_read_new(), archive_read_free);
  if (!reader) throw std::bad_alloc();
  archive_read_support_format_7zip(reader.get());
  return reader;
}

}  // namespace

ArchiveReader OpenSevenZ(const std::string& path) {
  ArchiveReader reader = NewReader();
  if (archive_read_open_filename(reader.get(), path.c_str(), kChunk) != ARCHIVE_OK) {
    FailReading(reader.get(), "cannot read " + path);
  }
  return reader;
}

ArchiveReader OpenSevenZ(int fd, const std::string& name) {
  ArchiveReader reader = NewReader();
  if (lseek(fd, 0, SEEK_SET) != 0 || archive_read_open_fd(reader.get(), fd, kChunk) != ARCHIVE_OK) {
    FailReading(reader.get(), "cannot read " + name);
  }
  return reader;
}

void FailReading(archive* reader, const std::string& what) {
  const char* reason = archive_error_string(reader);
  throw archlib::Failure(what + ": " + (reason != nullptr ? reason : "unknown error"));
}

}  // namespace sevenzip
