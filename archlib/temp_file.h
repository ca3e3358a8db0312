// A temporary file beside a destination path, for writing an archive
// atomically: it is renamed over the destination only when complete, and
// removed on every other way out.
#pragma once

#include <string>

namespace archlib {

class TempFile {
 public:
  // Creates a new file in the destination's folder, open for reading and
  // writing, with the permissions of an existing destination or else those
  // of a newly created file. Throws archlib::Failure.
  explicit TempFile(const std::string& destination);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& Path() const { return path_; }
  int Descriptor() const { return fd_; }

  // Flushes the data to disk, closes the file, renames it over the
  // destination and flushes the folder. Throws archlib::Failure, leaving
  // the destination untouched.
  void Commit();

 private:
  std::string destination_;
  std::string path_;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace archlib
