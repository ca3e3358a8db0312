// The program's own temporary file on Windows: created exclusively beside
// the file it is to replace, under the one name of every temporary file
// (platform/temp_name.h); written whole, flushed, then moved over the
// destination with MoveFileExW(REPLACE_EXISTING | WRITE_THROUGH); deleted
// again on any other way out. For platform/win32/ only.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

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

// Throws platform::Error "<what><path>: <the system's reason for the last
// failed call>".
[[noreturn]] void FailWithLastError(const char* what, const std::string& path);

class TempFile {
 public:
  // destination: UTF-8. Throws "<failure>: <reason>" when no file can be made.
  TempFile(const std::string& destination, const std::string& failure);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  HANDLE File() const { return file_.Get(); }
  // Writes all of data; throws "Cannot write <destination>: <reason>".
  void Write(const void* data, size_t size);
  // Flushes the file, closes it and moves it over the destination.
  void Commit();

 private:
  std::string destination_;
  std::wstring widePath_;
  Handle file_;
  bool kept_ = false;
};

}  // namespace platform
