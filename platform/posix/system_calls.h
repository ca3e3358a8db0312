// The system calls through which the file layer changes and removes files,
// opens and creates them and draws random numbers: the one place
// FaultInjector (fault_injection.h) reaches. Each behaves as the system
// call it names. For the layer's own use.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::posix::sys {

ssize_t Write(int fd, const void* data, size_t size);
ssize_t WriteAt(int fd, const void* data, size_t size, off_t offset);
int SyncFile(int fd);
int Rename(const char* from, const char* to);
int SyncFolder(int fd);
// unlinkat(folder, name, 0): never removes a folder.
int RemoveAt(int folder, const char* name);
// A random number from the system (getrandom).
uint64_t Random();
// Tell the seam: an existing file is about to be opened; a file was created.
void Opening(const std::string& path);
void Created(const std::string& path, int fd);

}  // namespace platform::posix::sys
