#include "lha/system_codepage.h"

#include <string>

#include "platform/posix/locale.h"

namespace lha {

uint32_t CodePageOfCodeset(std::string_view codeset) {
  const std::string name = platform::posix::FoldedCodeset(codeset);
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
