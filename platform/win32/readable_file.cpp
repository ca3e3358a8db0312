#include <windows.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/readable_file.h"
#include "platform/win32/utf16.h"

namespace platform {

void RequireReadableFile(const std::string& path) {
  const std::wstring wide = ToWide(path);
  const auto fail = [&](const std::string& reason) {
    throw Error("Cannot read " + path + ": " + reason);
  };
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    fail(SystemErrorText(static_cast<int>(GetLastError())));
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) fail("it is a folder, not a file");
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) fail(SystemErrorText(static_cast<int>(GetLastError())));
  const DWORD type = GetFileType(file);
  CloseHandle(file);
  if (type != FILE_TYPE_DISK) fail("it is not a regular file");
}

std::string ReadRegularFile(const std::string& path) {
  const std::wstring wide = ToWide(path);
  const auto fail = [&](const std::string& reason) {
    throw Error("Cannot read " + path + ": " + reason);
  };
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) fail(SystemErrorText(static_cast<int>(GetLastError())));
  std::string bytes;
  LARGE_INTEGER size;
  bool fine = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size);
  if (fine) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (fine && done < bytes.size()) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 30));
      fine = ReadFile(file, bytes.data() + done, want, &got, nullptr) != 0;
      if (fine && got == 0) break;
      done += got;
    }
    bytes.resize(done);
  }
  const DWORD error = GetLastError();
  const bool disk = GetFileType(file) == FILE_TYPE_DISK;
  CloseHandle(file);
  if (!disk) fail("it is not a regular file");
  if (!fine) fail(SystemErrorText(static_cast<int>(error)));
  return bytes;
}

}  // namespace platform
