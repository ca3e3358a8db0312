#include "platform/posix/profile_edit.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/error.h"
#include "platform/ini/profile_text.h"
#include "platform/posix/atomic_file.h"
#include "platform/posix/io.h"
#include "platform/posix/regular_file.h"

namespace platform::posix {

namespace {

// A symbolic link is followed, so the file it names is replaced, not the link.
std::string ResolveLink(const char* file) {
  struct stat info;
  if (lstat(file, &info) == 0 && S_ISLNK(info.st_mode)) {
    if (char* real = realpath(file, nullptr)) {
      std::string resolved(real);
      std::free(real);
      return resolved;
    }
  }
  return file;
}

// Replaces path with content, with the permissions and, where allowed, the
// owner of original. Throws platform::Error, leaving path untouched.
void ReplaceFile(const std::string& path, std::string_view content, const struct stat& original) {
  AtomicFile next(path, original.st_mode & 07777);
  if (original.st_uid != geteuid() || original.st_gid != getegid()) {
    // Only possible with privilege; an ordinary user keeps their own file
    // anyway. The permissions given above stay: a change of owner only
    // clears set-id bits, which a settings file does not have.
    static_cast<void>(fchown(next.Descriptor(), original.st_uid, original.st_gid));
  }
  WriteAll(next.Descriptor(), path, content.data(), content.size());
  next.Commit();
}

}  // namespace

// The lock is taken on the file about to be replaced; a writer that waited on
// a file another writer has since replaced sees that the path now names a
// different file and starts over on the new one, so no update is lost. The
// file is opened for writing too, so that a read-only file is refused as
// Windows refuses it. A link is never opened or created through: one that is
// followed is resolved first, and the file it names is replaced.
bool ModifyProfile(const char* file, bool create, ProfileLinks links, const ProfileEdit& edit) {
  const std::string path = links == ProfileLinks::kFollow ? ResolveLink(file) : file;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    bool created = false;
    try {
      std::optional<RegularFile> held =
          RegularFile::OpenIfPresent(path, Links::kRefuse, Access::kReadWrite);
      if (!held) {
        if (!create) return true;  // nothing to remove from a file that is not there
        Descriptor fd = CreateExclusive(path, 0666);
        if (!fd) {
          if (errno == EEXIST) continue;
          return false;
        }
        created = true;
        held.emplace(std::move(fd), path);
      }
      int locked;
      do {
        locked = flock(held->Descriptor(), LOCK_EX);
      } while (locked != 0 && errno == EINTR);
      if (locked != 0) throw Error("cannot lock " + path);

      // Replaced, removed or changed in place while we waited: start over
      // on what the path names now.
      struct stat now, named;
      if (fstat(held->Descriptor(), &now) != 0 || stat(path.c_str(), &named) != 0 ||
          named.st_dev != now.st_dev || named.st_ino != now.st_ino ||
          static_cast<uint64_t>(now.st_size) != held->Size()) {
        continue;
      }
      std::string old(held->Size(), '\0');
      old.resize(held->ReadFully(old.data(), old.size()));
      const ini::ProfileText text(std::move(old));
      const ini::Splices splices = edit(text.Text());
      if (!splices.empty()) ReplaceFile(path, text.Edited(splices), now);
      return true;
    } catch (const Error&) {
      const int reason = errno;  // for a caller that reports why
      if (created) unlink(path.c_str());
      errno = reason;
      return false;
    }
  }
  return false;
}

}  // namespace platform::posix
