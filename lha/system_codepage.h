// The code page of the names this library stores: the codeset of the
// locale taken from the environment, as the calling program converts its
// text to it. Names on disk are stored as they are, declared with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lha {

// 65001 for UTF-8, 932 for Shift_JIS/CP932, 0 when the codeset has no
// code page readers know.
uint32_t CodePageOfCodeset(std::string_view codeset);

// The code page of the environment's codeset (platform/posix/locale.h,
// where plain ASCII and unknown locales count as UTF-8), nothing when
// readers know no number for it.
std::optional<uint32_t> SystemCodePage();

}  // namespace lha
