// The private-profile functions for POSIX, on the INI text model of
// settings/ini_document.h. Reads open the file afresh each call; writes are atomic
// (temporary file, fsync, rename) and serialised between processes by an
// exclusive flock() on the file they replace.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/profile.h"
#include "settings/ini_document.h"

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void Reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  // Closes now and reports whether the system accepted the close.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

// Reads fd from its current offset to the end.
bool ReadWholeFile(int fd, std::string& data) {
  struct stat info;
  if (fstat(fd, &info) != 0) return false;
  data.resize(static_cast<size_t>(std::max<off_t>(info.st_size, 0)) + 1);
  size_t got = 0;
  for (;;) {
    if (got == data.size()) data.resize(data.size() * 2);
    const ssize_t n = read(fd, data.data() + got, data.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  data.resize(got);
  return true;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Reads a profile from its start in growing pieces, so a lookup that settles
// early (the usual case: the sections a run reads come before its large error
// log) does not read the whole file. A missing, unreadable or special file (a
// directory, a FIFO) reads as an empty profile.
class ProfileReader {
 public:
  explicit ProfileReader(const char* file) {
    if (file == nullptr || *file == '\0') return;
    fd_.Reset(open(file, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info;
    if (!fd_ || fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode)) return;
    // One buffer for the whole file, left uninitialised: only the pages a
    // lookup actually reads into are ever touched.
    capacity_ = static_cast<size_t>(std::max<off_t>(info.st_size, 0)) + 1;
    data_.reset(new char[capacity_]);
    complete_ = false;
    ReadMore();
  }

  bool complete() const { return complete_; }

  // What has been read, cut after its last line break while more is to come.
  std::string_view Start() const {
    const std::string_view read(data_.get(), size_);
    if (complete_) return read;
    const size_t cut = read.find_last_of("\r\n");
    return cut == std::string_view::npos ? std::string_view() : read.substr(0, cut + 1);
  }

  // Reads the next piece, as large as all read so far; a read error leaves an
  // empty profile.
  void ReadMore() {
    if (size_ == capacity_) Grow();  // the file has grown since it was opened
    const size_t want = std::min(capacity_, size_ + std::max<size_t>(size_, 64 * 1024));
    while (size_ < want) {
      const ssize_t n = read(fd_.get(), data_.get() + size_, want - size_);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n < 0) size_ = 0;
        complete_ = true;
        return;
      }
      size_ += static_cast<size_t>(n);
    }
  }

  std::string_view ReadAll() {
    while (!complete_) ReadMore();
    return std::string_view(data_.get(), size_);
  }

 private:
  void Grow() {
    std::unique_ptr<char[]> larger(new char[capacity_ * 2]);
    std::memcpy(larger.get(), data_.get(), size_);
    data_ = std::move(larger);
    capacity_ *= 2;
  }

  FileDescriptor fd_;
  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  bool complete_ = true;
};

std::optional<std::string> LookUpValue(const char* file, const char* section, const char* key) {
  ProfileReader reader(file);
  for (size_t from = 0;;) {
    const settings::ini::PartialLookup lookup =
        settings::ini::FindValueInStart(reader.Start(), section, key, from);
    from = lookup.resume;
    if (lookup.settled || reader.complete()) {
      return lookup.value ? std::optional<std::string>(*lookup.value) : std::nullopt;
    }
    reader.ReadMore();
  }
}

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

// Writes content to a temporary file beside path, flushes it to disk, gives it
// the permissions (and, where allowed, the owner) of original, and renames it
// over path. On failure path is untouched and the temporary file is removed.
bool ReplaceFile(const std::string& path, std::string_view content, const struct stat& original) {
  const size_t slash = path.rfind('/');
  const std::string dir =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = dir + "/." + base + ".XXXXXX";
  FileDescriptor fd(mkostemp(temp.data(), O_CLOEXEC));
  if (!fd) return false;
  bool ok = WriteAll(fd.get(), content) && fchmod(fd.get(), original.st_mode & 07777) == 0;
  if (ok && (original.st_uid != geteuid() || original.st_gid != getegid())) {
    // Only possible with privilege; an ordinary user keeps their own file anyway.
    static_cast<void>(fchown(fd.get(), original.st_uid, original.st_gid));
  }
  ok = ok && fsync(fd.get()) == 0;
  ok = fd.Close() && ok;
  ok = ok && rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable; the new content is complete either way.
  FileDescriptor dirFd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd) fsync(dirFd.get());
  return true;
}

using Edit = std::function<std::optional<std::string>(std::string_view)>;

// Read-modify-write of file under an exclusive lock. The lock is taken on the
// file about to be replaced; a writer that waited on a file another writer has
// since replaced sees that the path now names a different file and starts
// over on the new one, so no update is lost. A missing file is created only
// when create is set (an empty file, removed again if the write fails).
bool ModifyProfile(const char* file, bool create, const Edit& edit) {
  const std::string path = ResolveLink(file);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    bool created = false;
    FileDescriptor fd(open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
      if (errno != ENOENT) return false;
      if (!create) return true;  // nothing to remove from a file that is not there
      fd.Reset(open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_CREAT | O_EXCL, 0666));
      if (!fd) {
        if (errno == EEXIST) continue;
        return false;
      }
      created = true;
    }
    int locked;
    do {
      locked = flock(fd.get(), LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) return false;

    struct stat held, named;
    if (fstat(fd.get(), &held) != 0) return false;
    if (stat(path.c_str(), &named) != 0 || named.st_dev != held.st_dev ||
        named.st_ino != held.st_ino) {
      continue;  // replaced or removed while we waited: start over
    }
    if (!S_ISREG(held.st_mode)) return false;

    std::string old;
    bool ok = ReadWholeFile(fd.get(), old);
    if (ok) {
      const std::optional<std::string> next = edit(old);
      if (next) ok = ReplaceFile(path, *next, held);
    }
    if (!ok && created) unlink(path.c_str());
    return ok;
  }
  return false;
}

std::string_view DefaultText(const char* def) {
  std::string_view text = def == nullptr ? "" : def;
  // Windows drops trailing blanks from the default.
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

uint32_t CopyString(std::string_view value, char* out, uint32_t size) {
  if (out == nullptr || size == 0) return 0;
  const size_t n = std::min<size_t>(value.size(), size - 1);
  std::memcpy(out, value.data(), n);
  out[n] = '\0';
  return static_cast<uint32_t>(n);
}

// Copies items as a NUL-separated list ended by one more NUL. When the list
// does not fit with two bytes to spare, it is cut at size-2 bytes, ended by two
// NULs, and size-2 is returned, as Windows does (so a list that fits exactly
// also reports size-2). An empty list is a single NUL.
template <typename Items>
uint32_t CopyList(const Items& items, char* out, uint32_t size) {
  if (out == nullptr || size == 0) return 0;
  std::string joined;
  for (const auto& item : items) {
    joined.append(item);
    joined.push_back('\0');
  }
  if (size < 2 || joined.size() <= size - 2) {
    const size_t n = std::min<size_t>(joined.size(), size - 1);
    std::memcpy(out, joined.data(), n);
    out[n] = '\0';
    return static_cast<uint32_t>(n);
  }
  const size_t room = size - 2;
  std::memcpy(out, joined.data(), room);
  out[room] = '\0';
  out[room + 1] = '\0';
  return static_cast<uint32_t>(room);
}

// The integer Windows reads from a value (RtlUnicodeStringToInteger with base
// 0 on at most 29 characters): leading control characters and blanks skipped,
// an optional sign, an optional 0x / 0o / 0b prefix, then the digits up to the
// first character that is not one, wrapping modulo 2^32.
uint32_t ParseInteger(std::string_view text) {
  text = text.substr(0, 29);
  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    const char kind = text[i + 1];
    base = kind == 'x' ? 16 : kind == 'o' ? 8 : kind == 'b' ? 2 : 10;
    if (base != 10) i += 2;
  }
  uint32_t total = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'z') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'Z') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      break;
    }
    if (digit >= base) break;
    total = total * base + digit;
  }
  return negative ? 0u - total : total;
}

}  // namespace

uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* out,
                                  uint32_t size, const char* file) {
  if (out == nullptr || size == 0) return 0;
  if (section == nullptr) {
    return CopyList(settings::ini::SectionNames(ProfileReader(file).ReadAll()), out, size);
  }
  if (key == nullptr) {
    return CopyList(settings::ini::KeyNames(ProfileReader(file).ReadAll(), section), out, size);
  }
  const std::optional<std::string> value = LookUpValue(file, section, key);
  return CopyString(value ? std::string_view(*value) : DefaultText(def), out, size);
}

int WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                               const char* file) {
  if (section == nullptr && key == nullptr && value == nullptr)
    return 1;  // a flush: nothing cached
  if (section == nullptr || file == nullptr || *file == '\0') return 0;
  if (key == nullptr) {
    return ModifyProfile(file, false, [&](std::string_view old) {
      return settings::ini::DeleteSection(old, section);
    });
  }
  if (value == nullptr) {
    return ModifyProfile(file, false, [&](std::string_view old) {
      return settings::ini::DeleteKey(old, section, key);
    });
  }
  return ModifyProfile(file, true, [&](std::string_view old) {
    return settings::ini::SetValue(old, section, key, value);
  });
}

unsigned int GetPrivateProfileIntA(const char* section, const char* key, int def,
                                   const char* file) {
  if (section == nullptr || key == nullptr) return static_cast<unsigned int>(def);
  const std::optional<std::string> value = LookUpValue(file, section, key);
  if (!value || value->empty()) return static_cast<unsigned int>(def);
  return ParseInteger(*value);
}

uint32_t GetPrivateProfileSectionNamesA(char* out, uint32_t size, const char* file) {
  return CopyList(settings::ini::SectionNames(ProfileReader(file).ReadAll()), out, size);
}

uint32_t GetPrivateProfileSectionA(const char* section, char* out, uint32_t size,
                                   const char* file) {
  if (section == nullptr) {
    if (out != nullptr && size > 0) out[0] = '\0';
    return 0;
  }
  return CopyList(settings::ini::SectionLines(ProfileReader(file).ReadAll(), section), out, size);
}

std::optional<std::string> platform::WriteProfileStringUnderFreeKey(const char* section,
                                                                    const char* key,
                                                                    const char* value,
                                                                    const char* file,
                                                                    std::string* failure) {
  if (section == nullptr || key == nullptr || value == nullptr || file == nullptr ||
      *file == '\0') {
    *failure = SystemErrorText(EINVAL);
    return std::nullopt;
  }
  struct stat info;
  if (stat(file, &info) == 0 && !S_ISREG(info.st_mode)) {
    *failure = "it is not a regular file";
    return std::nullopt;
  }
  std::string chosen;
  // The edit runs on the file's text as read under its lock, so the key it
  // finds free is still free when the new text replaces the file.
  errno = 0;
  const bool written = ModifyProfile(file, true, [&](std::string_view old) {
    for (int n = 1;; ++n) {
      chosen = NumberedKey(key, n);
      const std::optional<std::string_view> taken = settings::ini::FindValue(old, section, chosen);
      if (!taken || taken->empty()) break;
    }
    return settings::ini::SetValue(old, section, chosen, value);
  });
  if (!written) {
    *failure = errno != 0 ? SystemErrorText(errno) : "the file was not written";
    return std::nullopt;
  }
  return chosen;
}
