// Checking UTF-8 text byte by byte, for code that must repair or escape
// what is not well formed.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

// Length of the well-formed UTF-8 sequence at the start of text (1 to 4), or
// 0 when the bytes there are not one: a stray continuation byte, an overlong
// form, a surrogate, a code point beyond U+10FFFF, or a sequence cut short.
size_t Utf8SequenceLength(std::string_view text);

}  // namespace platform
