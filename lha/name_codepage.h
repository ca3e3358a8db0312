// The code page a member's name is declared in. Names are stored as the
// bytes they have on disk, and the code-page header tells readers how to
// show them. A name that is not text in the system's code page (bytes a
// UTF-8 system cannot decode, left by a copy from an older system) is
// declared in code page 437, in which every byte is a character: readers
// that honour the header show it rather than fail on it, readers that take
// names as bytes restore those bytes, and the archive is read back whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lha {

inline constexpr uint32_t kEveryByteCodePage = 437;

// The code page to declare for `name` on a system whose names are in
// `system` (nothing: unknown). Names of ASCII alone keep the system's.
std::optional<uint32_t> CodePageOfName(std::string_view name, std::optional<uint32_t> system);

}  // namespace lha
