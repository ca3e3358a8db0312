#include "platform/codepage.h"

#include "platform/win32/utf16.h"

namespace platform {

// Through UTF-16: Windows has no direct conversion between UTF-8 and the
// ANSI code page.
std::string ToMultiByte(std::string_view utf8) {
  return FromWide(ToWide(utf8), CP_ACP);
}

std::string ToUtf8(std::string_view multiByte) {
  return FromWide(ToWide(multiByte, CP_ACP));
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
