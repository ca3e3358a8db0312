#include "bench/corpus/tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "bench/corpus/random.h"

namespace fs = std::filesystem;

namespace corpus {

namespace {

constexpr long long kYear2023 = 1672531200;  // 2023-01-01 00:00:00 UTC

[[noreturn]] void Fail(const std::string& what, const fs::path& path) {
  throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

void SetModeAndTime(const fs::path& path, mode_t mode, long long time) {
  if (chmod(path.c_str(), mode) != 0) Fail("cannot set the mode of", path);
  const timespec times[2] = {{time, 0}, {time, 0}};
  if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    Fail("cannot set the time of", path);
  }
}

}  // namespace

long long FixedTime(std::string_view path, bool folder) {
  const uint64_t hash = Fnv1a(path);
  const long long offset = folder ? 400LL * 86400 + hash % 86400 : hash % (365ULL * 86400);
  return kYear2023 + offset / 2 * 2;
}

Tree::Tree(fs::path root) : root_(std::move(root)) {}

void Tree::Folder(std::string_view path) {
  const fs::path full = root_ / fs::path(std::u8string(path.begin(), path.end()));
  fs::create_directories(full);
  // Every folder on the way gets its fixed mode and time in Finish.
  for (std::string_view p = path; !p.empty();) {
    folders_.emplace_back(p);
    const size_t slash = p.rfind('/');
    p = slash == std::string_view::npos ? std::string_view() : p.substr(0, slash);
  }
}

void Tree::File(std::string_view path, std::string_view bytes, bool executable) {
  const size_t slash = path.rfind('/');
  if (slash != std::string_view::npos) Folder(path.substr(0, slash));
  const fs::path full = root_ / fs::path(std::u8string(path.begin(), path.end()));
  const int fd = open(full.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) Fail("cannot create", full);
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = errno;
      close(fd);
      errno = error;
      Fail("cannot write", full);
    }
    done += n;
  }
  if (close(fd) != 0) Fail("cannot write", full);
  SetModeAndTime(full, executable ? 0755 : 0644, FixedTime(path, false));
  ++files_;
  bytes_ += bytes.size();
}

void Tree::Finish() {
  std::sort(folders_.begin(), folders_.end());
  folders_.erase(std::unique(folders_.begin(), folders_.end()), folders_.end());
  // Longer paths first: a folder is done after everything inside it.
  std::stable_sort(folders_.begin(), folders_.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  for (const std::string& folder : folders_) {
    SetModeAndTime(root_ / fs::path(std::u8string(folder.begin(), folder.end())), 0755,
                   FixedTime(folder, true));
  }
}

}  // namespace corpus
