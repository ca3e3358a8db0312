#include "sevenzip/seven_z_reader.h"

#include <unistd.h>

#include <new>

#include "archlib/archive_end.h"
#include "archlib/entry.h"
#include "sevenzip/byte_io.h"

namespace sevenzip {

SevenZReader::SevenZReader(const std::string& path)
    : file_(platform::posix::RegularFile::Open(path)),
      fd_(file_->Descriptor()),
      name_(path),
      reader_(archive_read_new(), archive_read_free) {
  Open(path);
}

SevenZReader::SevenZReader(int fd, const std::string& name)
    : fd_(fd), name_(name), reader_(archive_read_new(), archive_read_free) {
  Open(name);
}

void SevenZReader::Open(const std::string& name) {
  if (!reader_) throw std::bad_alloc();
  archive_read_support_format_7zip(reader_.get());
  if (lseek(fd_, 0, SEEK_SET) != 0 ||
      archive_read_open_fd(reader_.get(), fd_, kChunk) != ARCHIVE_OK) {
    Fail("cannot read " + name);
  }
}

void SevenZReader::Fail(const std::string& what) const {
  std::string why;
  try {
    why = archlib::SevenZEndProblem(fd_, name_);
  } catch (const archlib::Failure& e) {
    why = e.what();
  }
  if (why.empty()) {
    const char* reason = archive_error_string(reader_.get());
    why = reason != nullptr ? reason : "libarchive gave no reason";
  }
  throw archlib::Failure(what + ": " + why);
}

}  // namespace sevenzip
