// The owner of an open file descriptor: closes it when it goes out of scope,
// and lets a writer close it early to learn whether the system accepted the
// close (a network file system may report a failed write only then).
#pragma once

#include <string>

namespace platform::posix {

class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor();
  Descriptor(Descriptor&& other) noexcept : fd_(other.Release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Gives up ownership: the caller closes what this returns.
  int Release();
  // Closes now; throws platform::Error "cannot write <name>: <reason>" when
  // the system reports a failure.
  void Close(const std::string& name);

 private:
  int fd_ = -1;
};

}  // namespace platform::posix
