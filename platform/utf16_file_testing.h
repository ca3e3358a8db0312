// Test support for the profile tests: the bytes of a settings file as
// Notepad saves it "Unicode" (UTF-16 behind a byte-order mark), from the
// text written as a UTF-16 literal, so the expected bytes never come from
// the conversions under test.
#pragma once

#include <string>
#include <string_view>

namespace platform::testing {

inline std::string Utf16File(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

}  // namespace platform::testing
