#include "platform/clock.h"

#include "platform/error.h"
#include "platform/win32/utf16.h"

namespace platform {

namespace {

SYSTEMTIME ToSystemTime(const LocalTime& time) {
  SYSTEMTIME system{};
  system.wYear = static_cast<WORD>(time.year);
  system.wMonth = static_cast<WORD>(time.month);
  system.wDay = static_cast<WORD>(time.day);
  system.wHour = static_cast<WORD>(time.hour);
  system.wMinute = static_cast<WORD>(time.minute);
  system.wSecond = static_cast<WORD>(time.second);
  return system;
}

// Runs a Get*FormatW call twice: once for the length, once for the text.
template <typename Format>
std::wstring Formatted(Format format, const char* what) {
  const int length = format(nullptr, 0);
  std::wstring text(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  if (length == 0 || format(text.data(), length) == 0) {
    const DWORD code = GetLastError();
    throw Error(std::string("Cannot format the ") + what + ": " +
                SystemErrorText(static_cast<int>(code)));
  }
  text.resize(static_cast<size_t>(length) - 1);  // the count includes the NUL
  return text;
}

}  // namespace

LocalTime Now() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

// The user's short date and long time, as the system shows a date-time;
// exactly midnight shows as the date alone.
std::string DateTimeText(const LocalTime& time) {
  const SYSTEMTIME system = ToSystemTime(time);
  std::wstring text = Formatted(
      [&](wchar_t* out, int size) {
        return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &system, nullptr, out, size);
      },
      "date");
  if (time.hour != 0 || time.minute != 0 || time.second != 0) {
    text += L' ';
    text += Formatted(
        [&](wchar_t* out, int size) {
          return GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &system, nullptr, out, size);
        },
        "time");
  }
  return FromWide(text);
}

}  // namespace platform
