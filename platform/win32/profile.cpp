// The private-profile functions declared in profile.h are kernel32's own;
// only the free-key write and the key removal are built here, over them.
#include <windows.h>

#include <cstdint>
#include <cwctype>

#include "platform/error.h"
#include "platform/profile.h"
#include "platform/win32/utf16.h"

namespace platform {

namespace {

// A mutex named after the file's full path, shared by every process of
// every session that writes the file through this function. When it cannot
// be had (one made by another user refuses this one), the write goes ahead
// unguarded: the run lock already keeps one installation's runs apart.
class ProfileMutex {
 public:
  explicit ProfileMutex(const char* file) {
    wchar_t full[32768];
    const std::wstring wide = ToWide(file, CP_ACP);
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
bool Refused(const char* file, ProfileLinks links, std::string* failure) {
  if (links == ProfileLinks::kFollow) return false;
  const DWORD attributes = GetFileAttributesW(ToWide(file, CP_ACP).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return false;
  }
  *failure = "it is a symbolic link or another reparse point, not a regular file";
  return true;
}

}  // namespace

std::optional<std::string> WriteProfileStringUnderFreeKey(const char* section, const char* key,
                                                          const char* value, const char* file,
                                                          std::string* failure,
                                                          ProfileLinks links) {
  if (section == nullptr || key == nullptr || value == nullptr || file == nullptr ||
      *file == '\0') {
    *failure = SystemErrorText(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  ProfileMutex guard(file);
  if (Refused(file, links, failure)) return std::nullopt;
  std::string chosen;
  char probe[2];
  for (int n = 1;; ++n) {
    chosen = NumberedKey(key, n);
    if (GetPrivateProfileStringA(section, chosen.c_str(), "", probe, sizeof probe, file) == 0) {
      break;
    }
  }
  if (!WritePrivateProfileStringA(section, chosen.c_str(), value, file)) {
    *failure = SystemErrorText(static_cast<int>(GetLastError()));
    return std::nullopt;
  }
  return chosen;
}

bool DeleteProfileKey(const char* section, const char* key, const char* file, ProfileLinks links,
                      std::string* failure) {
  if (section == nullptr || key == nullptr || file == nullptr || *file == '\0') {
    *failure = SystemErrorText(ERROR_INVALID_PARAMETER);
    return false;
  }
  ProfileMutex guard(file);
  if (Refused(file, links, failure)) return false;
  if (!WritePrivateProfileStringA(section, key, nullptr, file)) {
    *failure = SystemErrorText(static_cast<int>(GetLastError()));
    return false;
  }
  return true;
}

}  // namespace platform
