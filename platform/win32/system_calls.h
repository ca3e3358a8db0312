// The calls through which the archiver libraries' file layer on Windows
// writes, flushes, moves and removes files, draws random numbers for
// temporary names, and opens and creates files: the one place the Windows
// FaultInjector (fault_injection.h) reaches. Each behaves as the Windows
// call it names. system_calls.cpp makes them straight to the system, in
// what is installed; test programs link fault_injection.cpp in its place.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace platform::win32::sys {

// WriteFile of size bytes at offset.
BOOL Write(HANDLE file, const void* data, DWORD size, uint64_t offset, DWORD* written);
BOOL FlushFile(HANDLE file);
// MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
BOOL MoveOver(const wchar_t* from, const wchar_t* to);
BOOL Remove(const wchar_t* path);
// A random number for a temporary name: SystemRandom's, unless a test
// stands numbers in for it.
uint64_t Random();
uint64_t SystemRandom();
// Tell the seam: an existing file is about to be opened; a file was created.
void Opening(const std::string& path);
void Created(const std::string& path);

}  // namespace platform::win32::sys
