#include <string>

#include "platform/error.h"
#include "platform/win32/utf16.h"

namespace platform {

std::string SystemErrorText(int code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0) return "Error " + std::to_string(code);
  std::wstring text(buffer, length);
  LocalFree(buffer);
  // System messages end with a line break, which would split a log entry.
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return FromWide(text);
}

}  // namespace platform
