#include <cstdint>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/temp_name.h"
#include "platform/win32/utf16.h"
// After windows.h (by way of platform/win32/utf16.h), whose types it uses.
#include <bcrypt.h>

namespace platform {

namespace {

// Throws with the system's reason for the last failed call; the code is
// taken before building the message can overwrite it.
[[noreturn]] void Fail(const char* what, const std::string& path) {
  const DWORD code = GetLastError();
  throw Error(std::string(what) + path + ": " + SystemErrorText(static_cast<int>(code)));
}

// An open file handle, closed when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
  void Close() {
    if (Valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

// The folder part of a path, with its separator: "" for a bare name.
std::string FolderPart(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? "" : path.substr(0, separator + 1);
}

uint64_t RandomNumber() {
  uint64_t value = 0;
  if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value,
                      BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
    // No system generator: the name is still created exclusively.
    value = GetTickCount64() * 0x9E3779B97F4A7C15ull ^ reinterpret_cast<uintptr_t>(&value);
  }
  return value;
}

// A new, empty file beside the destination, named as every temporary file
// of ours (platform/temp_name.h) and open for writing; deleted again unless
// Keep() is called once it has been moved into place.
class TempFile {
 public:
  explicit TempFile(const std::string& destination, const std::string& failure) {
    const std::string folder = FolderPart(destination);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
      path_ = folder + TemporaryName(GetCurrentProcessId(), RandomNumber());
      widePath_ = ToWide(path_);
      file_.Reset(CreateFileW(widePath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file_.Valid()) return;
      if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    Fail("", failure);
  }
  ~TempFile() {
    file_.Close();
    if (!kept_) DeleteFileW(widePath_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  Handle& File() { return file_; }
  const std::wstring& WidePath() const { return widePath_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  std::wstring widePath_;
  Handle file_;
  bool kept_ = false;
};

}  // namespace

void ReplaceWithCopy(const std::string& source, const std::string& destination) {
  const std::wstring wideDestination = ToWide(destination);
  const DWORD old = GetFileAttributesW(wideDestination.c_str());
  if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY)) {
    throw Error("Cannot replace " + destination + ": the file is read-only");
  }

  const std::string copying = "Cannot copy " + source + " to " + destination;
  Handle in(CreateFileW(ToWide(source).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in.Valid()) Fail("", copying);

  TempFile temp(destination, copying);
  std::vector<char> buffer(1 << 20);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      Fail("Cannot read ", source);
    }
    if (got == 0) break;
    DWORD written = 0;
    if (!WriteFile(temp.File().Get(), buffer.data(), got, &written, nullptr) || written != got) {
      Fail("Cannot write ", destination);
    }
  }
  if (!FlushFileBuffers(temp.File().Get())) Fail("Cannot write ", destination);
  temp.File().Close();
  if (!MoveFileExW(temp.WidePath().c_str(), wideDestination.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    Fail("Cannot replace ", destination);
  }
  temp.Keep();
}

void RequireRegularFileOrNothing(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    Fail("Cannot write ", path);
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
