// An exclusive lock on a file, held from Acquire() until the object goes
// (flock on POSIX, LockFileEx on Windows). The lock belongs to the open file,
// so two objects on one file exclude each other even within one process; a
// process that ends for any reason lets go of it. The file's text is free
// for the holder to say who it is.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace platform {

class FileLock {
 public:
  // Opens path, creating it when missing. Throws Error naming the path and
  // the reason, also when something other than a regular file is there.
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock, waiting up to bound for another holder to let go;
  // false when it did not. Throws Interrupted when an interrupt signal
  // arrives while waiting (platform/interrupt.h).
  bool Acquire(std::chrono::milliseconds bound);

  // Replaces the file's text; for the holder. Throws Error.
  void Describe(const std::string& text);
  // The file's text, as its holder wrote it (its first 64 KiB). Throws
  // Error when the file cannot be read.
  std::string Description() const;

 private:
  struct Handle;  // the open file, as the platform holds it
  std::string path_;
  std::unique_ptr<Handle> handle_;
};

}  // namespace platform
