#include "platform/codepage.h"

#include "platform/utf16_win32.h"

namespace platform {

// Through UTF-16: Windows has no direct conversion between UTF-8 and the
// ANSI code page.
std::string ToMultiByte(std::string_view utf8) {
  return FromWide(ToWide(utf8), CP_ACP);
}

std::string ToUtf8(std::string_view multiByte) {
  return FromWide(ToWide(multiByte, CP_ACP));
}

}  // namespace platform
