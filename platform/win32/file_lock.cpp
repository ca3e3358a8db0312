#include <windows.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/file_lock.h"
#include "platform/interrupt.h"
#include "platform/win32/utf16.h"

namespace platform {

struct FileLock::Handle {
  Handle() = default;
  ~Handle() {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);  // lets go of the lock as well
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE file = INVALID_HANDLE_VALUE;
};

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  const DWORD code = GetLastError();
  throw Error(what + " " + path + ": " + SystemErrorText(static_cast<int>(code)));
}

// The lock covers one byte far past the end of the text, so that the text
// stays readable by a waiting run while the lock is held.
OVERLAPPED LockedByte() {
  OVERLAPPED at{};
  at.Offset = 0xFFFFFFFF;
  at.OffsetHigh = 0x7FFFFFFF;
  return at;
}

}  // namespace

FileLock::FileLock(const std::string& path) : path_(path), handle_(std::make_unique<Handle>()) {
  const std::wstring wide = ToWide(path);
  // A link or junction at the name is opened as itself and refused, never
  // followed to a file elsewhere; so are a folder and a device.
  handle_->file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT |
                                               FILE_FLAG_BACKUP_SEMANTICS,
                              nullptr);
  if (handle_->file == INVALID_HANDLE_VALUE) Fail("Cannot open the lock file", path);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool disk = GetFileType(handle_->file) == FILE_TYPE_DISK;
  if (disk && !GetFileInformationByHandle(handle_->file, &info)) {
    Fail("Cannot open the lock file", path);
  }
  const char* kind = !disk ? "a device or pipe"
                     : (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                         ? "a symbolic link or another reparse point"
                     : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "a folder"
                                                                          : nullptr;
  if (kind != nullptr) {
    throw Error("Cannot open the lock file " + path + ": it is " + kind + ", not a regular file");
  }
}

FileLock::~FileLock() = default;

bool FileLock::Acquire(std::chrono::milliseconds bound) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(bound.count());
  DWORD pause = 10;
  for (;;) {
    ThrowIfInterrupted();
    OVERLAPPED at = LockedByte();
    if (LockFileEx(handle_->file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &at)) {
      return true;
    }
    if (GetLastError() != ERROR_LOCK_VIOLATION) Fail("Cannot lock", path_);
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    Sleep(static_cast<DWORD>(std::min<ULONGLONG>(pause, deadline - now)));
    pause = std::min<DWORD>(pause * 2, 1000);
  }
}

void FileLock::Describe(const std::string& text) {
  LARGE_INTEGER start{};
  DWORD written = 0;
  if (!SetFilePointerEx(handle_->file, start, nullptr, FILE_BEGIN) ||
      !WriteFile(handle_->file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size() || !SetEndOfFile(handle_->file)) {
    Fail("Cannot write", path_);
  }
}

std::string FileLock::Description() const {
  std::string text;
  char buffer[1024];
  while (text.size() < 64 * 1024) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(text.size());
    DWORD got = 0;
    if (!ReadFile(handle_->file, buffer, sizeof buffer, &got, &at)) {
      // A read from the end on is refused with ERROR_HANDLE_EOF.
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      Fail("Cannot read", path_);
    }
    if (got == 0) break;
    text.append(buffer, got);
  }
  return text;
}

}  // namespace platform
