// UTF-16 conversions for the win32 platform pieces: the program's text is
// UTF-8, the W functions of the Windows API take and give UTF-16, and the A
// functions and the archiver DLLs take the ANSI code page. Used only by
// platform/win32/.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Text in codePage (CP_UTF8, CP_ACP) to UTF-16. Bytes that are not valid in
// the code page become U+FFFD rather than failing the conversion.
inline std::wstring ToWide(std::string_view text, UINT codePage = CP_UTF8) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int wideLength = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), wideLength);
  return wide;
}

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
inline std::string FromWide(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int narrowLength =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(narrowLength), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, narrow.data(), narrowLength, nullptr,
                      nullptr);
  return narrow;
}

// UTF-16 in the ANSI code page without best fit: a character the code page
// lacks becomes its default character ('?'), never a look-alike (best fit
// turns ¥ into '\' and ∕ into '/'); *exact says whether none did and the
// text comes back from the code page as it went in.
inline std::string ToAnsi(std::wstring_view wide, bool* exact = nullptr) {
  if (exact != nullptr) *exact = true;
  if (wide.empty()) return {};
  const UINT codePage = GetACP();
  // UTF-8 and UTF-7 as the ANSI code page take no flags, and hold every character.
  const bool unicode = codePage == CP_UTF8 || codePage == CP_UTF7;
  const DWORD flags = unicode ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* defaulted = unicode ? nullptr : &usedDefault;
  const int length = static_cast<int>(wide.size());
  const int narrowLength =
      WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(narrowLength), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), length, narrow.data(), narrowLength, nullptr,
                      defaulted);
  if (exact != nullptr) *exact = !usedDefault && ToWide(narrow, CP_ACP) == wide;
  return narrow;
}

// UTF-16 in the ANSI code page, exactly; nothing when it cannot be.
inline std::optional<std::string> ToAnsiExactly(std::wstring_view wide) {
  bool exact = false;
  std::string narrow = ToAnsi(wide, &exact);
  if (!exact) return std::nullopt;
  return narrow;
}

}  // namespace platform
