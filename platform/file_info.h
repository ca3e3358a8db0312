// What a path names, as the archiver libraries' file layer sees it: its
// kind, size, modification time, mode and identity. The file layer
// (platform/input_file.h, platform/atomic_file.h, platform/folder_names.h)
// opens only regular files and never follows a link or reparse point below
// a target, so every other kind is named when it is refused or passed over.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class FileKind {
  kRegular,
  kFolder,
  kLink,          // a POSIX symbolic link
  kReparsePoint,  // Windows: a symbolic link, junction or other reparse point
  kFifo,          // a FIFO or pipe
  kDevice,
  kSocket,
  kOther,
};

// "a regular file", "a folder", "a FIFO", "a device", ... as messages say
// what a path is.
const char* KindName(FileKind kind);

// One file, whatever path leads to it: the device and inode on POSIX, the
// volume serial number and file index on Windows (where MinGW's stat gives
// inode 0).
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileInfo {
  FileKind kind = FileKind::kOther;
  uint64_t size = 0;            // of a regular file, beyond 4 GiB as well
  int64_t modifiedSeconds = 0;  // since 1970-01-01 UTC
  uint32_t modifiedNanoseconds = 0;
  // The POSIX type and permission bits (st_mode). On Windows made from the
  // kind and the read-only attribute: 0100644, 0100444, 040755.
  uint32_t mode = 0;
  std::optional<uint32_t> uid, gid;  // POSIX only
  FileIdentity identity;
};

enum class Links {
  kNotFollowed,  // a link or reparse point is seen as itself
  kFollowed,     // what a link leads to is seen (a target named by a link)
};

// Throws platform::Error "cannot read <path>: <reason>".
FileInfo Inspect(const std::string& path, Links links);
// The same, but nothing when no file or folder has that name.
std::optional<FileInfo> InspectIfPresent(const std::string& path, Links links);

// The target of the POSIX symbolic link at path, as stored in it. Throws
// platform::Error "cannot read link <path>: <reason>"; on Windows, where
// the layer reports reparse points and no links, it always does.
std::string ReadLink(const std::string& path);

}  // namespace platform
