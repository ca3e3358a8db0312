#include "platform/win32/temp_file.h"

#include <cstdint>

#include "platform/error.h"
#include "platform/temp_name.h"
#include "platform/win32/utf16.h"
// After windows.h, whose types it uses.
#include <bcrypt.h>

namespace platform {

namespace {

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

}  // namespace

void FailWithLastError(const char* what, const std::string& path) {
  // The code is taken before building the message can overwrite it.
  const DWORD code = GetLastError();
  throw Error(std::string(what) + path + ": " + SystemErrorText(static_cast<int>(code)));
}

TempFile::TempFile(const std::string& destination, const std::string& failure)
    : destination_(destination) {
  const std::string folder = FolderPart(destination);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    widePath_ = ToWide(folder + TemporaryName(GetCurrentProcessId(), RandomNumber()));
    file_.Reset(CreateFileW(widePath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file_.Valid()) return;
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  FailWithLastError("", failure);
}

TempFile::~TempFile() {
  file_.Close();
  if (!kept_) DeleteFileW(widePath_.c_str());
}

void TempFile::Write(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    DWORD written = 0;
    if (!WriteFile(file_.Get(), bytes, chunk, &written, nullptr) || written != chunk) {
      FailWithLastError("Cannot write ", destination_);
    }
    bytes += written;
    size -= written;
  }
}

void TempFile::Commit() {
  if (!FlushFileBuffers(file_.Get())) FailWithLastError("Cannot write ", destination_);
  file_.Close();
  if (!MoveFileExW(widePath_.c_str(), ToWide(destination_).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    FailWithLastError("Cannot replace ", destination_);
  }
  kept_ = true;
}

}  // namespace platform
