#include "platform/win32/layer_error.h"

#include "platform/error.h"
#include "platform/name_text.h"
#include "platform/win32/utf16.h"

namespace platform::win32 {

std::string ReasonText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0) return "error " + std::to_string(error);
  std::wstring text(buffer, length);
  LocalFree(buffer);
  // System messages end with a line break, which would split a message.
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return ToAnsi(text);
}

void ThrowLayerError(std::string_view what, const std::string& path, DWORD error) {
  throw Error(std::string(what) + " " + ShownPath(path) + ": " + ReasonText(error));
}

void ThrowNotRegular(std::string_view what, const std::string& path, const char* kind) {
  throw Error(std::string(what) + " " + ShownPath(path) + ": it is " + kind +
              ", not a regular file");
}

}  // namespace platform::win32
