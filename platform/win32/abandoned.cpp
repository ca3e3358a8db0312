#include <windows.h>

#include "platform/abandoned.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/temp_name.h"
#include "platform/win32/utf16.h"

namespace platform {

namespace {

std::vector<AbandonedFile> Abandoned(const std::string& folder, bool remove) {
  std::vector<AbandonedFile> found;
  const bool separated = folder.ends_with('\\') || folder.ends_with('/');
  const std::string prefix = folder + (separated ? "" : "\\");
  WIN32_FIND_DATAW entry;
  HANDLE listing = FindFirstFileW(ToWide(prefix + ".slotbackup-*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) return found;
  do {
    const std::string name = FromWide(entry.cFileName);
    const std::optional<uint32_t> owner = TemporaryNameOwner(name);
    constexpr DWORD kNotAFile =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if (!owner || (entry.dwFileAttributes & kNotAFile) != 0 || ProcessIsRunning(*owner)) continue;
    AbandonedFile file;
    file.path = prefix + name;
    file.bytes = (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    if (remove && !DeleteFileW(ToWide(file.path).c_str())) {
      file.failure = SystemErrorText(static_cast<int>(GetLastError()));
    }
    found.push_back(std::move(file));
  } while (FindNextFileW(listing, &entry));
  FindClose(listing);
  return found;
}

}  // namespace

std::vector<AbandonedFile> RemoveAbandonedTemporaryFiles(const std::string& folder) {
  return Abandoned(folder, true);
}

std::vector<AbandonedFile> FindAbandonedTemporaryFiles(const std::string& folder) {
  return Abandoned(folder, false);
}

}  // namespace platform
