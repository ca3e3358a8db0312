#include "lha/system_codepage.h"

#include <cctype>
#include <string>

#include "platform/posix/locale.h"

namespace lha {

uint32_t CodePageOfCodeset(std::string_view codeset) {
  std::string name;
  for (char c : codeset) {
    if (c != '-' && c != '_')
      name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (name == "UTF8") return 65001;
  if (name == "SHIFTJIS" || name == "SJIS" || name == "CP932" || name == "WINDOWS31J" ||
      name == "MSKANJI") {
    return 932;
  }
  return 0;
}

std::optional<uint32_t> SystemCodePage() {
  const uint32_t cp = CodePageOfCodeset(platform::posix::LocaleCodeset());
  if (cp == 0) return std::nullopt;
  return cp;
}

}  // namespace lha
