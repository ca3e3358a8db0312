// The private-profile functions for POSIX, on the INI text model of
// platform/ini/ini_document.h over a file's text as platform/ini/profile_text.h
// gives it. Reads open the file afresh each call; writes are atomic
// (platform/posix/atomic_file.h) and serialised between processes by an
// exclusive flock() on the file they replace.
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
#include "platform/ini/ini_document.h"
#include "platform/ini/profile_text.h"
#include "platform/posix/atomic_file.h"
#include "platform/posix/io.h"
#include "platform/posix/regular_file.h"
#include "platform/profile.h"

namespace {

using platform::ini::ProfileText;
using platform::posix::RegularFile;

// Reads a profile from its start in growing pieces, so a lookup that settles
// early (the usual case: the sections a run reads come before its large error
// log) does not read the whole file; the pieces of a UTF-16 file are seen as
// their text (platform/ini/profile_text.h). A missing, unreadable or special file
// (a directory, a FIFO) reads as an empty profile; a link is followed.
class ProfileReader {
 public:
  explicit ProfileReader(const char* file) {
    if (file == nullptr || *file == '\0') return;
    try {
      file_.emplace(RegularFile::Open(file, platform::posix::Links::kFollow));
    } catch (const platform::Error&) {
      return;
    }
    // One buffer for the whole file as it was opened, left uninitialised:
    // only the pages a lookup actually reads into are ever touched.
    capacity_ = static_cast<size_t>(file_->Size());
    data_.reset(new char[std::max<size_t>(capacity_, 1)]);
    complete_ = false;
    ReadMore();
    encoding_ = ProfileText::EncodingOf(std::string_view(data_.get(), size_));
    if (encoding_ != Encoding::kCodePage) {
      decoded_ = std::min(size_, ProfileText::kMarkSize);
      Decode();
    }
  }

  bool complete() const { return complete_; }

  // What has been read, cut after its last line break while more is to come.
  std::string_view Start() const {
    if (encoding_ != Encoding::kCodePage) return text_;
    const std::string_view read(data_.get(), size_);
    if (complete_) return read;
    const size_t cut = read.find_last_of("\r\n");
    return cut == std::string_view::npos ? std::string_view() : read.substr(0, cut + 1);
  }

  // Reads the next piece, as large as all read so far; a read error leaves an
  // empty profile.
  void ReadMore() {
    const size_t want = std::min(capacity_ - size_, std::max<size_t>(size_, 64 * 1024));
    try {
      const size_t got = file_->ReadFully(data_.get() + size_, want);
      size_ += got;
      complete_ = got < want || size_ == capacity_;
    } catch (const platform::Error&) {
      size_ = decoded_ = 0;
      text_.clear();
      complete_ = true;
    }
    if (encoding_ != Encoding::kCodePage) Decode();
  }

  std::string_view ReadAll() {
    while (!complete_) ReadMore();
    return Start();
  }

 private:
  using Encoding = ProfileText::Encoding;

  // Adds the text of the UTF-16 units read but not yet decoded, up to the
  // last line break while more is to come.
  void Decode() {
    const std::string_view units(data_.get() + decoded_, (size_ - decoded_) & ~size_t{1});
    size_t end = units.size();
    if (!complete_) {
      const bool bigEndian = encoding_ == Encoding::kUtf16BigEndian;
      for (; end >= 2; end -= 2) {
        const char low = units[end - (bigEndian ? 1 : 2)];
        const char high = units[end - (bigEndian ? 2 : 1)];
        if (high == '\0' && (low == '\r' || low == '\n')) break;
      }
    }
    text_ += ProfileText::Utf16Text(units.substr(0, end), encoding_);
    decoded_ += end;
  }

  std::optional<RegularFile> file_;
  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  bool complete_ = true;
  Encoding encoding_ = Encoding::kCodePage;
  size_t decoded_ = 0;  // bytes of a UTF-16 file whose text is in text_
  std::string text_;
};

std::optional<std::string> LookUpValue(const char* file, const char* section, const char* key) {
  ProfileReader reader(file);
  for (size_t from = 0;;) {
    const platform::ini::PartialLookup lookup =
        platform::ini::FindValueInStart(reader.Start(), section, key, from);
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

// Replaces path with content, with the permissions and, where allowed, the
// owner of original. Throws platform::Error, leaving path untouched.
void ReplaceFile(const std::string& path, std::string_view content, const struct stat& original) {
  platform::posix::AtomicFile next(path, original.st_mode & 07777);
  if (original.st_uid != geteuid() || original.st_gid != getegid()) {
    // Only possible with privilege; an ordinary user keeps their own file
    // anyway. The permissions given above stay: a change of owner only
    // clears set-id bits, which a settings file does not have.
    static_cast<void>(fchown(next.Descriptor(), original.st_uid, original.st_gid));
  }
  platform::posix::WriteAll(next.Descriptor(), path, content.data(), content.size());
  next.Commit();
}

using Edit = std::function<platform::ini::Splices(std::string_view)>;

// Read-modify-write of file under an exclusive lock. The lock is taken on the
// file about to be replaced; a writer that waited on a file another writer has
// since replaced sees that the path now names a different file and starts
// over on the new one, so no update is lost. A missing file is created only
// when create is set (an empty file, removed again if the write fails). The
// file is opened for writing too, so that a read-only file is refused as
// Windows refuses it.
bool ModifyProfile(const char* file, bool create, const Edit& edit) {
  using platform::posix::Access;
  using platform::posix::Links;
  const std::string path = ResolveLink(file);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    bool created = false;
    try {
      std::optional<RegularFile> held =
          RegularFile::OpenIfPresent(path, Links::kRefuse, Access::kReadWrite);
      if (!held) {
        if (!create) return true;  // nothing to remove from a file that is not there
        platform::posix::Descriptor fd = platform::posix::CreateExclusive(path, 0666);
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
      if (locked != 0) throw platform::Error("cannot lock " + path);

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
      const ProfileText text(std::move(old));
      const platform::ini::Splices splices = edit(text.Text());
      if (!splices.empty()) ReplaceFile(path, text.Edited(splices), now);
      return true;
    } catch (const platform::Error&) {
      const int reason = errno;  // for a caller that reports why
      if (created) unlink(path.c_str());
      errno = reason;
      return false;
    }
  }
  return false;
}

// The default as Windows gives it out: without trailing blanks, then
// without enclosing quotes, as a value would be.
std::string_view DefaultText(const char* def) {
  std::string_view text = def == nullptr ? "" : def;
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return platform::ini::Unquoted(text);
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
// also reports size-2). An empty list is two NULs where they fit.
template <typename Items>
uint32_t CopyList(const Items& items, char* out, uint32_t size) {
  if (out == nullptr || size == 0) return 0;
  std::string joined;
  for (const auto& item : items) {
    joined.append(item);
    joined.push_back('\0');
  }
  if (joined.empty()) {
    out[0] = '\0';
    if (size > 1) out[1] = '\0';
    return 0;
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
    return CopyList(platform::ini::SectionNames(ProfileReader(file).ReadAll()), out, size);
  }
  if (key == nullptr) {
    // With no key to list, the default is given instead.
    ProfileReader reader(file);
    const auto keys = platform::ini::KeyNames(reader.ReadAll(), section);
    if (keys.empty()) return CopyString(DefaultText(def), out, size);
    return CopyList(keys, out, size);
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
      return platform::ini::DeleteSection(old, section);
    });
  }
  if (value == nullptr) {
    return ModifyProfile(file, false, [&](std::string_view old) {
      return platform::ini::DeleteKey(old, section, key);
    });
  }
  return ModifyProfile(file, true, [&](std::string_view old) {
    return platform::ini::SetValue(old, section, key, value);
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
  return CopyList(platform::ini::SectionNames(ProfileReader(file).ReadAll()), out, size);
}

uint32_t GetPrivateProfileSectionA(const char* section, char* out, uint32_t size,
                                   const char* file) {
  if (section == nullptr) {
    if (out != nullptr && size > 0) out[0] = '\0';
    return 0;
  }
  return CopyList(platform::ini::SectionLines(ProfileReader(file).ReadAll(), section), out, size);
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
      const std::optional<std::string_view> taken = platform::ini::FindValue(old, section, chosen);
      if (!taken || taken->empty()) break;
    }
    return platform::ini::SetValue(old, section, chosen, value);
  });
  if (!written) {
    *failure = errno != 0 ? SystemErrorText(errno) : "the file was not written";
    return std::nullopt;
  }
  return chosen;
}
