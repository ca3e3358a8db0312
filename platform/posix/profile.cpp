// The private-profile functions for POSIX, on the INI text model of
// platform/ini/ini_document.h over a file's text as platform/ini/profile_text.h
// gives it. Reads open the file afresh each call; writes are atomic and
// serialised between processes (platform/posix/profile_edit.h).
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/ini/ini_document.h"
#include "platform/ini/profile_text.h"
#include "platform/posix/profile_edit.h"
#include "platform/posix/regular_file.h"
#include "platform/profile.h"

namespace {

using platform::ProfileLinks;
using platform::ini::ProfileText;
using platform::posix::ModifyProfile;
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

// Why file cannot be written, before any attempt: something other than a
// regular file at its name (a link there only when links are refused).
std::optional<std::string> Unwritable(const char* file, ProfileLinks links) {
  struct stat info;
  if (links == ProfileLinks::kRefuse && lstat(file, &info) == 0 && S_ISLNK(info.st_mode)) {
    return "it is a symbolic link, not a regular file";
  }
  if (stat(file, &info) == 0 && !S_ISREG(info.st_mode)) return "it is not a regular file";
  return std::nullopt;
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
    return ModifyProfile(file, false, ProfileLinks::kFollow, [&](std::string_view old) {
      return platform::ini::DeleteSection(old, section);
    });
  }
  if (value == nullptr) {
    return ModifyProfile(file, false, ProfileLinks::kFollow, [&](std::string_view old) {
      return platform::ini::DeleteKey(old, section, key);
    });
  }
  return ModifyProfile(file, true, ProfileLinks::kFollow, [&](std::string_view old) {
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

std::optional<std::string> platform::WriteProfileStringUnderFreeKey(
    const char* section, const char* key, const char* value, const char* file, std::string* failure,
    ProfileLinks links) {
  if (section == nullptr || key == nullptr || value == nullptr || file == nullptr ||
      *file == '\0') {
    *failure = SystemErrorText(EINVAL);
    return std::nullopt;
  }
  if (const std::optional<std::string> why = Unwritable(file, links)) {
    *failure = *why;
    return std::nullopt;
  }
  std::string chosen;
  // The edit runs on the file's text as read under its lock, so the key it
  // finds free is still free when the new text replaces the file.
  errno = 0;
  const bool written = ModifyProfile(file, true, links, [&](std::string_view old) {
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

bool platform::DeleteProfileKey(const char* section, const char* key, const char* file,
                                ProfileLinks links, std::string* failure) {
  if (section == nullptr || key == nullptr || file == nullptr || *file == '\0') {
    *failure = SystemErrorText(EINVAL);
    return false;
  }
  if (const std::optional<std::string> why = Unwritable(file, links)) {
    *failure = *why;
    return false;
  }
  errno = 0;
  if (ModifyProfile(file, false, links, [&](std::string_view old) {
        return platform::ini::DeleteKey(old, section, key);
      })) {
    return true;
  }
  *failure = errno != 0 ? SystemErrorText(errno) : "the file was not written";
  return false;
}
