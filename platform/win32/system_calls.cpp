// The file layer's calls as the installed DLLs make them: straight to the
// system. Tests link fault_injection.cpp instead.
#include "platform/win32/system_calls.h"

namespace platform::win32::sys {

BOOL Write(HANDLE file, const void* data, DWORD size, uint64_t offset, DWORD* written) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return WriteFile(file, data, size, written, &at);
}

BOOL FlushFile(HANDLE file) {
  return FlushFileBuffers(file);
}

BOOL MoveOver(const wchar_t* from, const wchar_t* to) {
  return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

BOOL Remove(const wchar_t* path) {
  return DeleteFileW(path);
}

uint64_t Random() {
  return SystemRandom();
}

void Opening(const std::string&) {}
void Created(const std::string&) {}

}  // namespace platform::win32::sys
