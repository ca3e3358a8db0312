#include <windows.h>

#include "platform/error.h"
#include "platform/folder.h"
#include "platform/win32/utf16.h"

namespace platform {

namespace {

// A reparse point (a symbolic link or a junction) is a link, whatever else
// its attributes say.
EntryKind KindOf(DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::kLink;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kFolder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::kOther;
  return EntryKind::kRegularFile;
}

const char* Described(EntryKind kind) {
  switch (kind) {
    case EntryKind::kFolder:
      return "a folder";
    case EntryKind::kLink:
      return "a link";
    case EntryKind::kRegularFile:
    case EntryKind::kOther:
      break;
  }
  return "a device";
}

[[noreturn]] void Fail(const char* what, const std::string& path, DWORD error) {
  throw Error(std::string(what) + " " + path + ": " + SystemErrorText(static_cast<int>(error)));
}

}  // namespace

std::vector<FolderEntry> ListFolder(const std::string& folder) {
  const bool separated = folder.ends_with('\\') || folder.ends_with('/');
  WIN32_FIND_DATAW data;
  HANDLE listing = FindFirstFileW(ToWide(folder + (separated ? "" : "\\") + "*").c_str(), &data);
  if (listing == INVALID_HANDLE_VALUE) Fail("cannot list", folder, GetLastError());
  std::vector<FolderEntry> entries;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderEntry entry;
    entry.name = FromWide(name);
    entry.kind = KindOf(data.dwFileAttributes);
    if (entry.kind == EntryKind::kRegularFile) {
      entry.bytes = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    entries.push_back(std::move(entry));
  } while (FindNextFileW(listing, &data));
  const DWORD ended = GetLastError();
  FindClose(listing);
  if (ended != ERROR_NO_MORE_FILES) Fail("cannot list", folder, ended);
  return entries;
}

uint64_t RemoveRegularFile(const std::string& path) {
  const std::wstring wide = ToWide(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
    Fail("cannot remove", path, GetLastError());
  }
  const EntryKind kind = KindOf(data.dwFileAttributes);
  if (kind != EntryKind::kRegularFile) {
    throw Error("cannot remove " + path + ": it is " + Described(kind) + ", not a regular file");
  }
  // DeleteFileW refuses a folder, and removes a link itself, never what it
  // points to.
  if (!DeleteFileW(wide.c_str())) Fail("cannot remove", path, GetLastError());
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace platform
