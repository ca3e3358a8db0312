#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/win32/temp_file.h"
#include "platform/win32/utf16.h"

namespace platform {

void ReplaceWithCopy(const std::string& source, const std::string& destination) {
  const DWORD old = GetFileAttributesW(ToWide(destination).c_str());
  if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY)) {
    throw Error("Cannot replace " + destination + ": the file is read-only");
  }

  const std::string copying = "Cannot copy " + source + " to " + destination;
  Handle in(CreateFileW(ToWide(source).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in.Valid()) FailWithLastError("", copying);

  TempFile temp(destination, copying);
  std::vector<char> buffer(1 << 20);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      FailWithLastError("Cannot read ", source);
    }
    if (got == 0) break;
    temp.Write(buffer.data(), got);
  }
  temp.Commit();
}

void RequireRegularFileOrNothing(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    FailWithLastError("Cannot write ", path);
  }
  const char* kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                         ? "a symbolic link or another reparse point"
                     : (attributes & FILE_ATTRIBUTE_DIRECTORY) ? "a folder"
                                                               : nullptr;
  if (kind != nullptr) {
    throw Error("Cannot write " + path + ": it is " + kind + ", not a regular file");
  }
}

}  // namespace platform
