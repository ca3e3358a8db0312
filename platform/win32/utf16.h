// UTF-16 conversions for the win32 platform pieces: the program's text is
// UTF-8, the W functions of the Windows API take and give UTF-16, and the A
// functions take the ANSI code page. Used only by platform/win32/.
#pragma once

#include <windows.h>

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

// UTF-16 to text in codePage. Characters the code page lacks become its
// default character ('?').
inline std::string FromWide(std::wstring_view wide, UINT codePage = CP_UTF8) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int narrowLength =
      WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(narrowLength), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), length, narrow.data(), narrowLength, nullptr,
                      nullptr);
  return narrow;
}

}  // namespace platform
