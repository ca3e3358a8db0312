#include "lha/system_codepage.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace lha {

uint32_t CodePageOfCodeset(std::string_view codeset) {
  std::string name;
  for (char c : codeset) {
    if (c != '-' && c != '_')
      name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (name == "UTF8" || name == "ANSIX3.41968" || name == "ASCII" || name.empty()) return 65001;
  if (name == "SHIFTJIS" || name == "SJIS" || name == "CP932" || name == "WINDOWS31J" ||
      name == "MSKANJI") {
    return 932;
  }
  return 0;
}

std::optional<uint32_t> SystemCodePage() {
  locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  // A locale named in the environment but not installed: the C library
  // falls back to plain C, whose names we treat as UTF-8.
  if (loc == static_cast<locale_t>(0)) return 65001;
  uint32_t cp = CodePageOfCodeset(nl_langinfo_l(CODESET, loc));
  freelocale(loc);
  if (cp == 0) return std::nullopt;
  return cp;
}

}  // namespace lha
