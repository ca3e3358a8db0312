// The file layer's system calls as the installed program and libraries make
// them: straight to the system. Tests link fault_injection.cpp instead,
// which passes the same calls through the fault-injection seam.
#include "platform/posix/system_calls.h"

#include <unistd.h>

namespace platform::posix::sys {

ssize_t ReadAt(int fd, void* data, size_t size, off_t offset) {
  return pread(fd, data, size, offset);
}

ssize_t Write(int fd, const void* data, size_t size) {
  return write(fd, data, size);
}

ssize_t WriteAt(int fd, const void* data, size_t size, off_t offset) {
  return pwrite(fd, data, size, offset);
}

int SyncFile(int fd) {
  return fsync(fd);
}

int Rename(const char* from, const char* to) {
  return rename(from, to);
}

int SyncFolder(int fd) {
  return fsync(fd);
}

int RemoveAt(int folder, const char* name) {
  return unlinkat(folder, name, 0);
}

uint64_t Random() {
  return SystemRandom();
}

void Opening(const std::string&) {}

void Created(const std::string&, int) {}

}  // namespace platform::posix::sys
