#include <windows.h>

#include "platform/error.h"
#include "platform/readable_file.h"
#include "platform/utf16_win32.h"

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

}  // namespace platform
