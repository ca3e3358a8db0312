// The archiver libraries' folder listing, names and thread locale on POSIX
// (platform/folder_names.h, name_text.h, thread_locale.h): names are the
// system's bytes, stored as they are, in the code page of the locale's
// codeset.
#include <dirent.h>
#include <iconv.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>
#include <memory>

#include "platform/folder_names.h"
#include "platform/name_text.h"
#include "platform/posix/file_error.h"
#include "platform/posix/locale.h"
#include "platform/thread_locale.h"
#include "platform/utf8.h"

namespace platform {

std::vector<std::string> FolderNames(const std::string& folder) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) posix::ThrowFileError("cannot open folder", folder, errno);
  std::vector<std::string> names;
  errno = 0;
  while (dirent* e = readdir(dir.get())) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      names.emplace_back(e->d_name);
    }
    errno = 0;
  }
  if (errno != 0) posix::ThrowFileError("cannot read folder", folder, errno);
  return names;
}

bool IsPathSeparator(char c) {
  return c == '/';
}

size_t PathRootLength(const std::string& path) {
  return path.starts_with('/') ? 1 : 0;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

std::optional<uint32_t> SystemCodePage() {
  const std::string codeset = posix::FoldedCodeset(posix::LocaleCodeset());
  if (codeset == "UTF8") return 65001;
  if (codeset == "SHIFTJIS" || codeset == "SJIS" || codeset == "CP932" || codeset == "WINDOWS31J" ||
      codeset == "MSKANJI") {
    return 932;
  }
  return std::nullopt;
}

bool IsTextInCodePage(std::string_view bytes, uint32_t codePage) {
  if (codePage == 65001) {
    while (!bytes.empty()) {
      const size_t length = Utf8SequenceLength(bytes);
      if (length == 0) return false;
      bytes.remove_prefix(length);
    }
    return true;
  }
  const std::string from = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in(bytes);
  std::string out(in.size() * 4 + 4, '\0');
  char* inPtr = in.data();
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  const bool text =
      iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
  iconv_close(cd);
  return text;
}

std::string PathFromCommandLine(std::string_view path) {
  return std::string(path);
}

ArchiveName NameForArchive(std::string_view name) {
  return ArchiveName{std::string(name), true};
}

// In the thread's locale, as the C library converts: the caller holds a
// ThreadLocale of the environment.
std::u16string NameInUtf16(std::string_view name) {
  std::u16string out;
  std::mbstate_t state{};
  const char* p = name.data();
  size_t left = name.size();
  while (left > 0) {
    wchar_t c;
    size_t n = std::mbrtowc(&c, p, left, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      out += u'\uFFFD';
      state = {};
      n = 1;
    } else {
      if (n == 0) n = 1;
      AppendUtf16(out, static_cast<char32_t>(c));
    }
    p += n;
    left -= n;
  }
  return out;
}

std::string NameFromUtf16(std::u16string_view name) {
  std::string out;
  std::mbstate_t state{};
  char buffer[MB_LEN_MAX];
  for (size_t i = 0; i < name.size(); ++i) {
    char32_t c = name[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
        name[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (name[++i] - 0xDC00);
    }
    const size_t n = std::wcrtomb(buffer, static_cast<wchar_t>(c), &state);
    if (n == static_cast<size_t>(-1)) {
      out += '?';
      state = {};
    } else {
      out.append(buffer, n);
    }
  }
  return out;
}

std::string ShownPath(std::string_view path) {
  return std::string(path);
}

struct ThreadLocale::Native {
  posix::ThreadLocale locale;
};

ThreadLocale::ThreadLocale(Of which)
    : native_(new Native{posix::ThreadLocale(which == Of::kEnvironment
                                                 ? posix::ThreadLocale::Of::kEnvironment
                                                 : posix::ThreadLocale::Of::kUtf8)}) {}

ThreadLocale::~ThreadLocale() = default;

}  // namespace platform
