#include "lha/name_codepage.h"

#include <algorithm>

#include "platform/name_text.h"

namespace lha {

std::optional<uint32_t> CodePageOfName(std::string_view name, std::optional<uint32_t> system) {
  if (std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; })) return system;
  if (!system) return kEveryByteCodePage;
  // Exactly as a reader converting from the code page finds it.
  return platform::IsTextInCodePage(name, *system) ? system
                                                   : std::optional<uint32_t>(kEveryByteCodePage);
}

}  // namespace lha
