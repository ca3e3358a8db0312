// The private-profile functions declared in profile.h are kernel32's own;
// the program's text reaches files through their W forms here, so that no
// character is ever best fit into the ANSI code page on the way.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <initializer_list>

#include "platform/error.h"
#include "platform/profile.h"
#include "platform/win32/temp_file.h"
#include "platform/win32/utf16.h"

namespace platform {

namespace {

// The size of every result area, in UTF-16 units.
constexpr DWORD kAreaSize = 32767;

// A NUL-separated list of UTF-16 units, ended by an empty item, in the
// program's text.
std::string ListText(const std::wstring& area, DWORD length) {
  std::string list;
  std::wstring_view rest(area.data(), std::min<DWORD>(length, kAreaSize));
  while (!rest.empty()) {
    const size_t nul = rest.find(L'\0');
    if (nul == 0) break;
    list += FromWide(rest.substr(0, nul));
    list += '\0';
    if (nul == std::wstring_view::npos) break;
    rest.remove_prefix(nul + 1);
  }
  return list + '\0';
}

// How a profile file holds its text, as kernel32 tells from its first bytes:
// UTF-16 after a byte-order mark holds every character; anything else (a
// UTF-8 mark included, which not every Windows honours) holds only what the
// ANSI code page holds.
enum class Holds { kNoFile, kAnsi, kUtf8, kEverything };

Holds WhatFileHolds(const std::wstring& file, std::string* bytes) {
  Handle in(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!in.Valid()) return GetLastError() == ERROR_FILE_NOT_FOUND ? Holds::kNoFile : Holds::kAnsi;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(in.Get(), &size) || size.QuadPart > (1 << 30)) return Holds::kAnsi;
  bytes->resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!ReadFile(in.Get(), bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr)) {
    return Holds::kAnsi;
  }
  bytes->resize(got);
  if (bytes->starts_with("\xFF\xFE") || bytes->starts_with("\xFE\xFF")) return Holds::kEverything;
  if (bytes->starts_with("\xEF\xBB\xBF")) return Holds::kUtf8;
  return Holds::kAnsi;
}

// Makes file (UTF-8) able to take every text in `texts` exactly: a file
// whose code page lacks a character of one is rewritten in UTF-16 with its
// byte-order mark, its text unchanged (as Notepad saves "Unicode"), and a
// missing one is created so. Throws Error when that cannot be done.
void MakeRoomFor(const std::string& file, std::initializer_list<const std::string*> texts) {
  bool fits = true;
  for (const std::string* text : texts) {
    if (text != nullptr && !ToAnsiExactly(ToWide(*text))) fits = false;
  }
  if (fits) return;
  std::string bytes;
  const Holds holds = WhatFileHolds(ToWide(file), &bytes);
  if (holds == Holds::kEverything) return;
  std::wstring text;
  if (holds == Holds::kUtf8) {
    text = ToWide(std::string_view(bytes).substr(3));
  } else if (holds == Holds::kAnsi) {
    // Only text that comes back exactly is carried over.
    text = ToWide(bytes, CP_ACP);
    if (ToAnsi(text) != bytes) {
      throw Error("Cannot write " + file +
                  ": it must take text its code page lacks, and its own text is not all in "
                  "that code page, so it cannot be turned into UTF-16");
    }
  }
  TempFile temp(file, "Cannot write " + file);
  temp.Write("\xFF\xFE", 2);
  temp.Write(text.data(), text.size() * sizeof(wchar_t));
  temp.Commit();
}

bool Write(const std::string& file, const std::string& section, const std::string* key,
           const std::string* value) {
  try {
    MakeRoomFor(file, {&section, key, value});
  } catch (const Error&) {
    // "No mapping for the Unicode character exists in the target
    // multi-byte code page."
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  const std::wstring wideKey = key != nullptr ? ToWide(*key) : L"";
  const std::wstring wideValue = value != nullptr ? ToWide(*value) : L"";
  return WritePrivateProfileStringW(
             ToWide(section).c_str(), key != nullptr ? wideKey.c_str() : nullptr,
             value != nullptr ? wideValue.c_str() : nullptr, ToWide(file).c_str()) != 0;
}

// A mutex named after the file's full path, shared by every process of
// every session that writes the file through this function. When it cannot
// be had (one made by another user refuses this one), the write goes ahead
// unguarded: the run lock already keeps one installation's runs apart.
class ProfileMutex {
 public:
  explicit ProfileMutex(const std::string& file) {
    wchar_t full[32768];
    const std::wstring wide = ToWide(file);
    const DWORD length = GetFullPathNameW(wide.c_str(), 32768, full, nullptr);
    std::wstring path = length > 0 && length < 32768 ? std::wstring(full, length) : wide;
    uint64_t hash = 14695981039346656037ULL;  // FNV-1a over the upper-cased path
    for (wchar_t c : path) {
      hash = (hash ^ static_cast<uint64_t>(std::towupper(c))) * 1099511628211ULL;
    }
    std::wstring name = L"Global\\slotbackup-profile-";
    for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(hash >> shift) & 0xF];
    mutex_ = CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex_ == nullptr) return;
    // WAIT_ABANDONED: an earlier holder died; the file itself is whole.
    const DWORD waited = WaitForSingleObject(mutex_, INFINITE);
    owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  ~ProfileMutex() {
    if (owned_) ReleaseMutex(mutex_);
    if (mutex_ != nullptr) CloseHandle(mutex_);
  }
  ProfileMutex(const ProfileMutex&) = delete;
  ProfileMutex& operator=(const ProfileMutex&) = delete;

 private:
  HANDLE mutex_ = nullptr;
  bool owned_ = false;
};

// Whether a write must refuse what is at file's name: a reparse point (a
// symbolic link, a junction) when links are refused. kernel32's functions
// follow one and have no flag to refuse it, so the name is looked at just
// before they write (under the file's mutex).
bool Refused(const std::string& file, ProfileLinks links, std::string* failure) {
  if (links == ProfileLinks::kFollow) return false;
  const DWORD attributes = GetFileAttributesW(ToWide(file).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return false;
  }
  *failure = "it is a symbolic link or another reparse point, not a regular file";
  return true;
}

}  // namespace

std::string GetProfileValue(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& def) {
  std::wstring area(kAreaSize, L'\0');
  const DWORD copied =
      GetPrivateProfileStringW(ToWide(section).c_str(), ToWide(key).c_str(), ToWide(def).c_str(),
                               area.data(), kAreaSize, ToWide(file).c_str());
  area.resize(std::min(copied, kAreaSize));
  return FromWide(area);
}

uint32_t GetProfileInteger(const std::string& file, const std::string& section,
                           const std::string& key, int def) {
  return GetPrivateProfileIntW(ToWide(section).c_str(), ToWide(key).c_str(), def,
                               ToWide(file).c_str());
}

std::string GetProfileSectionNames(const std::string& file) {
  std::wstring area(kAreaSize, L'\0');
  return ListText(area,
                  GetPrivateProfileSectionNamesW(area.data(), kAreaSize, ToWide(file).c_str()));
}

std::string GetProfileSection(const std::string& file, const std::string& section) {
  std::wstring area(kAreaSize, L'\0');
  return ListText(area, GetPrivateProfileSectionW(ToWide(section).c_str(), area.data(), kAreaSize,
                                                  ToWide(file).c_str()));
}

bool SetProfileValue(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) {
  return Write(file, section, &key, &value);
}

bool RemoveProfileKey(const std::string& file, const std::string& section, const std::string& key,
                      ProfileLinks links, std::string* failure) {
  std::string reason;
  if (failure == nullptr) failure = &reason;
  if (file.empty()) {
    *failure = SystemErrorText(ERROR_INVALID_PARAMETER);
    return false;
  }
  ProfileMutex guard(file);
  if (Refused(file, links, failure)) return false;
  if (!Write(file, section, &key, nullptr)) {
    *failure = SystemErrorText(static_cast<int>(GetLastError()));
    return false;
  }
  return true;
}

bool RemoveProfileSection(const std::string& file, const std::string& section) {
  return Write(file, section, nullptr, nullptr);
}

std::optional<std::string> SetProfileValueUnderFreeKey(const std::string& file,
                                                       const std::string& section,
                                                       const std::string& key,
                                                       const std::string& value,
                                                       std::string* failure, ProfileLinks links) {
  if (file.empty()) {
    *failure = SystemErrorText(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  ProfileMutex guard(file);
  if (Refused(file, links, failure)) return std::nullopt;
  const std::wstring wideSection = ToWide(section), wideFile = ToWide(file);
  std::string chosen;
  wchar_t probe[2];
  for (int n = 1;; ++n) {
    chosen = NumberedKey(key, n);
    if (GetPrivateProfileStringW(wideSection.c_str(), ToWide(chosen).c_str(), L"", probe, 2,
                                 wideFile.c_str()) == 0) {
      break;
    }
  }
  try {
    MakeRoomFor(file, {&section, &chosen, &value});
  } catch (const Error& e) {
    *failure = e.what();
    return std::nullopt;
  }
  if (!WritePrivateProfileStringW(wideSection.c_str(), ToWide(chosen).c_str(),
                                  ToWide(value).c_str(), wideFile.c_str())) {
    *failure = SystemErrorText(static_cast<int>(GetLastError()));
    return std::nullopt;
  }
  return chosen;
}

}  // namespace platform
