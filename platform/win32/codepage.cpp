#include "platform/codepage.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/utf8.h"
#include "platform/win32/utf16.h"

namespace platform {

// Through UTF-16: Windows has no direct conversion between UTF-8 and the
// ANSI code page.
std::string ToMultiByte(std::string_view utf8) {
  return ToAnsi(ToWide(utf8));
}

std::string ToUtf8(std::string_view multiByte) {
  return FromWide(ToWide(multiByte, CP_ACP));
}

std::optional<std::string> CharacterNotInCodePage(std::string_view utf8) {
  if (ToAnsiExactly(ToWide(utf8))) return std::nullopt;
  for (size_t i = 0; i < utf8.size();) {
    const std::string_view rest = utf8.substr(i);
    const size_t length = std::max<size_t>(Utf8SequenceLength(rest), 1);
    if (!ToAnsiExactly(ToWide(rest.substr(0, length)))) return CharacterName(rest);
    i += length;
  }
  return CharacterName(utf8);
}

std::string ToMultiByteExactly(std::string_view utf8) {
  if (const std::optional<std::string> character = CharacterNotInCodePage(utf8)) {
    throw Error(std::string(utf8) + " cannot be written in the system's code page (" +
                std::to_string(GetACP()) + "): it holds " + *character +
                ", which the code page lacks");
  }
  return ToMultiByte(utf8);
}

// Character by character: the shortest run of bytes from each offset that
// the system converts when told to refuse anything invalid is a character;
// an offset where no run converts holds an invalid byte.
std::vector<size_t> InvalidBytes(std::string_view multiByte) {
  CPINFO info;
  const size_t longest = GetCPInfo(CP_ACP, &info) ? info.MaxCharSize : 2;
  std::vector<size_t> invalid;
  wchar_t wide[4];
  for (size_t i = 0; i < multiByte.size();) {
    size_t length = 0;
    for (size_t n = 1; n <= longest && i + n <= multiByte.size() && length == 0; ++n) {
      if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, multiByte.data() + i,
                              static_cast<int>(n), wide, 4) > 0) {
        length = n;
      }
    }
    if (length == 0) {
      invalid.push_back(i);
      length = 1;
    }
    i += length;
  }
  return invalid;
}

}  // namespace platform
