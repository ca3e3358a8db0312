#include "platform/attributes.h"

#include "platform/error.h"
#include "platform/win32/utf16.h"

namespace platform {

namespace {

// The flags a program may set on a folder; the others (directory,
// compressed, reparse point, ...) are reported but belong to the system.
// SetFileAttributesW also accepts not-content-indexed, offline and
// temporary; they are kept too, so clearing and then restoring a folder's
// word gives it back every flag it had.
constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                            FILE_ATTRIBUTE_TEMPORARY;

DWORD FolderAttributes(const std::string& path, const std::wstring& widePath) {
  const DWORD attributes = GetFileAttributesW(widePath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw Error("Path not found: " + path);
  }
  return attributes;
}

}  // namespace

int32_t GetFolderAttributes(const std::string& path) {
  return static_cast<int32_t>(FolderAttributes(path, ToWide(path)));
}

void SetFolderAttributes(const std::string& path, int32_t attributes) {
  const std::wstring widePath = ToWide(path);
  FolderAttributes(path, widePath);
  DWORD settable = static_cast<DWORD>(attributes) & kSettable;
  if (settable == 0) settable = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileAttributesW(widePath.c_str(), settable)) {
    const DWORD code = GetLastError();
    throw Error("Cannot set the attributes of " + path + ": " +
                SystemErrorText(static_cast<int>(code)));
  }
}

}  // namespace platform
