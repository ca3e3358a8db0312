// The archiver libraries' file layer on Windows (platform/file_info.h,
// open_file.h, input_file.h, atomic_file.h), over the W functions: paths in
// UTF-8 to and from UTF-16 exactly, messages in the ANSI code page
// (layer_error.h), and every write, flush, move and removal through the
// fault-injection seam (system_calls.h).
#include <windows.h>

#include <algorithm>

#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_info.h"
#include "platform/input_file.h"
#include "platform/name_text.h"
#include "platform/open_file.h"
#include "platform/temp_name.h"
#include "platform/win32/layer_error.h"
#include "platform/win32/system_calls.h"
#include "platform/win32/utf16.h"

namespace platform {

namespace {

using win32::ThrowLayerError;
namespace sys = win32::sys;

// One ReadFile or WriteFile moves at most this much: the counts are 32 bits.
constexpr size_t kMostPerCall = size_t{1} << 30;
// 100-nanosecond intervals from 1601-01-01 (FILETIME) to 1970-01-01.
constexpr uint64_t kUnixEpoch = 116444736000000000ULL;

HANDLE AsHandle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

FileKind KindOf(DWORD type, DWORD attributes) {
  if (type == FILE_TYPE_CHAR) return FileKind::kDevice;
  if (type == FILE_TYPE_PIPE) return FileKind::kFifo;
  if (type != FILE_TYPE_DISK) return FileKind::kOther;
  // A reparse point is one whatever else it is: a link, a junction.
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return FileKind::kReparsePoint;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::kFolder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return FileKind::kDevice;
  return FileKind::kRegular;
}

uint32_t ModeOf(FileKind kind, DWORD attributes) {
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  switch (kind) {
    case FileKind::kRegular:
      return readOnly ? 0100444 : 0100644;
    case FileKind::kFolder:
      return 040755;
    case FileKind::kReparsePoint:
      return 0120777;
    case FileKind::kFifo:
      return 010666;
    case FileKind::kDevice:
      return 020666;
    default:
      return 0;
  }
}

// What the open handle is; a device or pipe has no file information.
FileInfo InfoOf(HANDLE handle, const std::string& path, std::string_view what) {
  const DWORD type = GetFileType(handle);
  BY_HANDLE_FILE_INFORMATION data{};
  if (type == FILE_TYPE_DISK && !GetFileInformationByHandle(handle, &data)) {
    ThrowLayerError(what, path, GetLastError());
  }
  FileInfo info;
  info.kind = KindOf(type, data.dwFileAttributes);
  info.mode = ModeOf(info.kind, data.dwFileAttributes);
  if (info.kind == FileKind::kRegular) {
    info.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  const uint64_t ticks = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime;
  const int64_t since = static_cast<int64_t>(ticks) - static_cast<int64_t>(kUnixEpoch);
  const int64_t seconds = since >= 0 ? since / 10000000 : -((-since + 9999999) / 10000000);
  info.modifiedSeconds = seconds;
  info.modifiedNanoseconds = static_cast<uint32_t>((since - seconds * 10000000) * 100);
  info.identity = {data.dwVolumeSerialNumber,
                   (static_cast<uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow};
  return info;
}

// Opens path as itself (a reparse point not followed unless asked; a folder
// opens too, so that it can be named).
HANDLE OpenExisting(const std::string& path, DWORD access, Links links) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS |
                      (links == Links::kNotFollowed ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  return CreateFileW(ToWide(path).c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     flags, nullptr);
}

// The folder part of a path, with its separator: "" for a bare name.
std::string FolderPart(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? "" : path.substr(0, separator + 1);
}

}  // namespace

std::optional<FileInfo> InspectIfPresent(const std::string& path, Links links) {
  // Reading attributes shares with every other opener, even one that
  // shares nothing.
  const HANDLE handle = OpenExisting(path, FILE_READ_ATTRIBUTES, links);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    ThrowLayerError("cannot read", path, error);
  }
  try {
    const FileInfo info = InfoOf(handle, path, "cannot read");
    CloseHandle(handle);
    return info;
  } catch (...) {
    CloseHandle(handle);
    throw;
  }
}

FileInfo Inspect(const std::string& path, Links links) {
  std::optional<FileInfo> info = InspectIfPresent(path, links);
  if (!info) ThrowLayerError("cannot read", path, ERROR_FILE_NOT_FOUND);
  return *info;
}

std::string ReadLink(const std::string& path) {
  throw Error("cannot read link " + ShownPath(path) +
              ": links are reparse points here, which are never followed or stored");
}

size_t OpenFile::ReadUpTo(uint64_t offset, void* data, size_t size) const {
  char* bytes = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    const DWORD want = static_cast<DWORD>(std::min(size - done, kMostPerCall));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), bytes + done, want, &got, &at)) {
      const DWORD error = GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      ThrowLayerError("cannot read", path_, error);
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

void OpenFile::ReadAt(uint64_t offset, void* data, size_t size) const {
  if (ReadUpTo(offset, data, size) != size) throw Error("unexpected end of " + ShownPath(path_));
}

void OpenFile::WriteAt(uint64_t offset, const void* data, size_t size) const {
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const DWORD want = static_cast<DWORD>(std::min(size - done, kMostPerCall));
    DWORD written = 0;
    if (!sys::Write(AsHandle(handle_), bytes + done, want, offset + done, &written)) {
      ThrowLayerError("cannot write", path_, GetLastError());
    }
    // A file takes at least one byte or says why not; 0 would loop forever.
    if (written == 0) ThrowLayerError("cannot write", path_, ERROR_WRITE_FAULT);
    done += written;
  }
}

uint64_t OpenFile::CurrentSize() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(AsHandle(handle_), &size)) {
    ThrowLayerError("cannot read", path_, GetLastError());
  }
  return static_cast<uint64_t>(size.QuadPart);
}

void OpenFile::Resize(uint64_t size) const {
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(AsHandle(handle_), end, nullptr, FILE_BEGIN) ||
      !SetEndOfFile(AsHandle(handle_))) {
    ThrowLayerError("cannot write", path_, GetLastError());
  }
}

FileInfo OpenFile::Info() const {
  return InfoOf(AsHandle(handle_), path_, "cannot read");
}

struct InputFile::Native {
  explicit Native(HANDLE opened) : handle(opened) {}
  ~Native() { CloseHandle(handle); }
  Native(const Native&) = delete;
  Native& operator=(const Native&) = delete;
  HANDLE handle;
  uint64_t position = 0;
};

InputFile::InputFile(std::unique_ptr<Native> native, OpenFile file, const FileInfo& info)
    : native_(std::move(native)), file_(std::move(file)), info_(info) {}
InputFile::~InputFile() = default;
InputFile::InputFile(InputFile&& other) noexcept = default;
InputFile& InputFile::operator=(InputFile&& other) noexcept = default;

std::optional<InputFile> InputFile::OpenIfPresent(const std::string& path, Links links) {
  sys::Opening(path);
  const HANDLE handle = OpenExisting(path, GENERIC_READ, links);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    ThrowLayerError("cannot read", path, error);
  }
  auto native = std::make_unique<Native>(handle);
  const FileInfo info = InfoOf(handle, path, "cannot read");
  if (info.kind != FileKind::kRegular)
    win32::ThrowNotRegular("cannot read", path, KindName(info.kind));
  OpenFile file(reinterpret_cast<intptr_t>(handle), path);
  return InputFile(std::move(native), std::move(file), info);
}

InputFile InputFile::Open(const std::string& path, Links links) {
  std::optional<InputFile> file = OpenIfPresent(path, links);
  if (!file) ThrowLayerError("cannot read", path, ERROR_FILE_NOT_FOUND);
  return std::move(*file);
}

size_t InputFile::Read(void* data, size_t size) {
  return ReadFully(data, size);
}

size_t InputFile::ReadFully(void* data, size_t size) {
  const uint64_t left = info_.size - std::min(native_->position, info_.size);
  const size_t n =
      file_.ReadUpTo(native_->position, data, static_cast<size_t>(std::min<uint64_t>(size, left)));
  native_->position += n;
  return n;
}

void InputFile::Rewind() {
  native_->position = 0;
}

struct AtomicFile::Native {
  Native() = default;
  ~Native() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    if (!committed && !temporary.empty()) sys::Remove(temporary.c_str());
  }
  Native(const Native&) = delete;
  Native& operator=(const Native&) = delete;
  std::string destination;
  std::string path;
  std::wstring temporary;
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool committed = false;
};

// The temporary file is created exclusively, drawing another name on a
// clash: a file or link planted under the name is never opened.
AtomicFile::AtomicFile(const std::string& destination, Readers)
    : native_(std::make_unique<Native>()), file_(-1, "") {
  Native& n = *native_;
  n.destination = destination;
  const std::string folder = FolderPart(destination);
  for (int attempt = 0; attempt < 100 && n.handle == INVALID_HANDLE_VALUE; ++attempt) {
    n.path = folder + TemporaryName(GetCurrentProcessId(), sys::Random());
    const std::wstring wide = ToWide(n.path);
    n.handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (n.handle != INVALID_HANDLE_VALUE) {
      n.temporary = wide;
      break;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      ThrowLayerError("cannot create a temporary file for", destination, error);
    }
  }
  if (n.handle == INVALID_HANDLE_VALUE) {
    ThrowLayerError("cannot create a temporary file for", destination, ERROR_FILE_EXISTS);
  }
  sys::Created(n.path);
  file_ = OpenFile(reinterpret_cast<intptr_t>(n.handle), n.path);
}

AtomicFile::~AtomicFile() = default;

void AtomicFile::Commit() {
  Native& n = *native_;
  if (!sys::FlushFile(n.handle)) ThrowLayerError("cannot write", n.destination, GetLastError());
  const HANDLE handle = n.handle;
  n.handle = INVALID_HANDLE_VALUE;
  if (!CloseHandle(handle)) ThrowLayerError("cannot write", n.destination, GetLastError());
  if (!sys::MoveOver(n.temporary.c_str(), ToWide(n.destination).c_str())) {
    ThrowLayerError("cannot replace", n.destination, GetLastError());
  }
  n.committed = true;
}

}  // namespace platform
