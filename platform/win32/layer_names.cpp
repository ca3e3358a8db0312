// The archiver libraries' folder listing, names and thread locale on
// Windows (platform/folder_names.h, name_text.h, thread_locale.h): the
// system names files in UTF-16, the layer in UTF-8, exactly both ways; an
// archive header and a message get the ANSI code page, never best fit.
#include <windows.h>

#include <clocale>

#include "platform/error.h"
#include "platform/folder_names.h"
#include "platform/name_text.h"
#include "platform/thread_locale.h"
#include "platform/win32/layer_error.h"
#include "platform/win32/utf16.h"

namespace platform {

std::vector<std::string> FolderNames(const std::string& folder) {
  WIN32_FIND_DATAW entry;
  const HANDLE listing =
      FindFirstFileExW(ToWide(JoinPath(folder, "*")).c_str(), FindExInfoBasic, &entry,
                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (listing == INVALID_HANDLE_VALUE) {
    win32::ThrowLayerError("cannot open folder", folder, GetLastError());
  }
  std::vector<std::string> names;
  do {
    const std::wstring_view name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(FromWide(name));
  } while (FindNextFileW(listing, &entry));
  const DWORD ended = GetLastError();
  FindClose(listing);
  if (ended != ERROR_NO_MORE_FILES) win32::ThrowLayerError("cannot read folder", folder, ended);
  return names;
}

bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}

size_t PathRootLength(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') {
    return path.size() >= 3 && IsPathSeparator(path[2]) ? 3 : 2;
  }
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    // \\server\share\ (or \\?\C:\ and its kin): two components past the start.
    size_t at = 2;
    for (int component = 0; component < 2 && at < path.size(); ++component) {
      while (at < path.size() && !IsPathSeparator(path[at])) ++at;
      if (at < path.size()) ++at;
    }
    return at;
  }
  return !path.empty() && IsPathSeparator(path[0]) ? 1 : 0;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  const bool separated = folder.ends_with('\\') || folder.ends_with('/');
  return separated ? folder + name : folder + "\\" + name;
}

std::optional<uint32_t> SystemCodePage() {
  return GetACP();
}

bool IsTextInCodePage(std::string_view bytes, uint32_t codePage) {
  if (bytes.empty()) return true;
  if (!IsValidCodePage(codePage)) return false;
  return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                             static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

std::string PathFromCommandLine(std::string_view path) {
  if (!IsTextInCodePage(path, GetACP())) {
    throw Error(std::string(path) + ": a path that is not text in the system's code page");
  }
  return FromWide(ToWide(path, CP_ACP));
}

ArchiveName NameForArchive(std::string_view name) {
  if (std::optional<std::string> ansi = ToAnsiExactly(ToWide(name))) {
    return ArchiveName{std::move(*ansi), true};
  }
  return ArchiveName{std::string(name), false};
}

std::u16string NameInUtf16(std::string_view name) {
  const std::wstring wide = ToWide(name);
  return std::u16string(wide.begin(), wide.end());
}

std::string NameFromUtf16(std::u16string_view name) {
  return ToAnsi(std::wstring(name.begin(), name.end()));
}

std::string ShownPath(std::string_view path) {
  return ToAnsi(ToWide(path));
}

// The C runtime's locale for this thread alone, then the one asked for.
struct ThreadLocale::Native {
  int previousMode = -1;
  std::string previous;
};

ThreadLocale::ThreadLocale(Of which) : native_(std::make_unique<Native>()) {
  native_->previousMode = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
  if (const char* current = setlocale(LC_CTYPE, nullptr)) native_->previous = current;
  if (which == Of::kUtf8) {
    // msvcrt, and Wine's, has none: the thread keeps the locale it has.
    setlocale(LC_CTYPE, ".UTF8");
    return;
  }
  if (setlocale(LC_CTYPE, "") == nullptr) {
    if (native_->previousMode != -1) _configthreadlocale(native_->previousMode);
    throw Error("the C runtime has no locale for the ANSI code page");
  }
}

ThreadLocale::~ThreadLocale() {
  if (!native_->previous.empty()) setlocale(LC_CTYPE, native_->previous.c_str());
  if (native_->previousMode != -1) _configthreadlocale(native_->previousMode);
}

}  // namespace platform
