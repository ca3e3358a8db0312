// The system calls through which the file layer reads, changes and removes
// files, opens and creates them and draws random numbers: the one place
// FaultInjector (fault_injection.h) reaches. Each behaves as the system
// call it names. For the layer's own use. system_calls.cpp makes them
// straight to the system, in what is installed; test programs link
// fault_injection.cpp in its place.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::posix::sys {

ssize_t ReadAt(int fd, void* data, size_t size, off_t offset);
ssize_t Write(int fd, const void* data, size_t size);
ssize_t WriteAt(int fd, const void* data, size_t size, off_t offset);
int SyncFile(int fd);
int Rename(const char* from, const char* to);
int SyncFolder(int fd);
// unlinkat(folder, name, 0): never removes a folder.
int RemoveAt(int folder, const char* name);
// A random number for a temporary name: SystemRandom's, unless a test
// stands numbers in for it.
uint64_t Random();
// The system's own random number (getrandom; before the system has entropy,
// the clock mixed).
uint64_t SystemRandom();
// Tell the seam: an existing file is about to be opened; a file was created.
void Opening(const std::string& path);
void Created(const std::string& path, int fd);

}  // namespace platform::posix::sys
