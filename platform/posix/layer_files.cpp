// The archiver libraries' file layer on POSIX (platform/file_info.h,
// open_file.h, input_file.h, atomic_file.h): the names the libraries share
// with Windows over the POSIX layer beneath them (regular_file.h,
// atomic_file.h, io.h), which keeps its behaviour and messages.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/atomic_file.h"
#include "platform/file_info.h"
#include "platform/input_file.h"
#include "platform/open_file.h"
#include "platform/posix/atomic_file.h"
#include "platform/posix/file_error.h"
#include "platform/posix/io.h"
#include "platform/posix/regular_file.h"

namespace platform {

namespace {

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISDIR(mode)) return FileKind::kFolder;
  if (S_ISLNK(mode)) return FileKind::kLink;
  if (S_ISFIFO(mode)) return FileKind::kFifo;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::kDevice;
  if (S_ISSOCK(mode)) return FileKind::kSocket;
  return FileKind::kOther;
}

FileInfo InfoOf(const struct stat& st) {
  FileInfo info;
  info.kind = KindOf(st.st_mode);
  info.size = static_cast<uint64_t>(st.st_size > 0 ? st.st_size : 0);
  info.modifiedSeconds = st.st_mtim.tv_sec;
  info.modifiedNanoseconds = static_cast<uint32_t>(st.st_mtim.tv_nsec);
  info.mode = st.st_mode;
  info.uid = st.st_uid;
  info.gid = st.st_gid;
  info.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return info;
}

int Descriptor(intptr_t handle) {
  return static_cast<int>(handle);
}

}  // namespace

std::optional<FileInfo> InspectIfPresent(const std::string& path, Links links) {
  struct stat st;
  const int status = links == Links::kFollowed ? stat(path.c_str(), &st) : lstat(path.c_str(), &st);
  if (status == 0) return InfoOf(st);
  if (errno == ENOENT) return std::nullopt;
  posix::ThrowFileError("cannot read", path, errno);
}

FileInfo Inspect(const std::string& path, Links links) {
  std::optional<FileInfo> info = InspectIfPresent(path, links);
  if (!info) posix::ThrowFileError("cannot read", path, ENOENT);
  return *info;
}

std::string ReadLink(const std::string& path) {
  for (size_t room = 256;; room *= 2) {
    std::string target(room, '\0');
    const ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n < 0) posix::ThrowFileError("cannot read link", path, errno);
    if (static_cast<size_t>(n) < room) {
      target.resize(static_cast<size_t>(n));
      return target;
    }
  }
}

size_t OpenFile::ReadUpTo(uint64_t offset, void* data, size_t size) const {
  return posix::ReadUpTo(Descriptor(handle_), path_, offset, data, size);
}

void OpenFile::ReadAt(uint64_t offset, void* data, size_t size) const {
  posix::ReadAt(Descriptor(handle_), path_, offset, data, size);
}

void OpenFile::WriteAt(uint64_t offset, const void* data, size_t size) const {
  posix::WriteAllAt(Descriptor(handle_), path_, offset, data, size);
}

uint64_t OpenFile::CurrentSize() const {
  return Info().size;
}

void OpenFile::Resize(uint64_t size) const {
  if (ftruncate(Descriptor(handle_), static_cast<off_t>(size)) != 0) {
    posix::ThrowFileError("cannot write", path_, errno);
  }
}

FileInfo OpenFile::Info() const {
  struct stat st;
  if (fstat(Descriptor(handle_), &st) != 0) posix::ThrowFileError("cannot read", path_, errno);
  return InfoOf(st);
}

struct InputFile::Native {
  posix::RegularFile file;
};

InputFile::InputFile(std::unique_ptr<Native> native, OpenFile file, const FileInfo& info)
    : native_(std::move(native)), file_(std::move(file)), info_(info) {}
InputFile::~InputFile() = default;
InputFile::InputFile(InputFile&& other) noexcept = default;
InputFile& InputFile::operator=(InputFile&& other) noexcept = default;

namespace {

posix::Links PosixLinks(Links links) {
  return links == Links::kFollowed ? posix::Links::kFollow : posix::Links::kRefuse;
}

}  // namespace

InputFile InputFile::Open(const std::string& path, Links links) {
  auto native = std::make_unique<Native>(Native{posix::RegularFile::Open(path, PosixLinks(links))});
  OpenFile file(native->file.Descriptor(), path);
  const FileInfo info = InfoOf(native->file.Info());
  return InputFile(std::move(native), std::move(file), info);
}

std::optional<InputFile> InputFile::OpenIfPresent(const std::string& path, Links links) {
  std::optional<posix::RegularFile> opened =
      posix::RegularFile::OpenIfPresent(path, PosixLinks(links));
  if (!opened) return std::nullopt;
  auto native = std::make_unique<Native>(Native{std::move(*opened)});
  OpenFile file(native->file.Descriptor(), path);
  const FileInfo info = InfoOf(native->file.Info());
  return InputFile(std::move(native), std::move(file), info);
}

size_t InputFile::Read(void* data, size_t size) {
  return native_->file.Read(data, size);
}

size_t InputFile::ReadFully(void* data, size_t size) {
  return native_->file.ReadFully(data, size);
}

void InputFile::Rewind() {
  native_->file.Rewind();
}

struct AtomicFile::Native {
  posix::AtomicFile file;
};

namespace {

std::optional<mode_t> ModeFor(AtomicFile::Readers readers) {
  if (readers == AtomicFile::Readers::kOwnerOnly) return 0600;
  return std::nullopt;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& destination, Readers readers)
    : native_(new Native{posix::AtomicFile(destination, ModeFor(readers))}),
      file_(native_->file.Descriptor(), native_->file.Path()) {}

AtomicFile::~AtomicFile() = default;

void AtomicFile::Commit() {
  native_->file.Commit();
}

}  // namespace platform
