#include <cstdio>
#include <ctime>

#include "platform/clock.h"

namespace platform {

LocalTime Now() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string DateTimeText(const LocalTime& t) {
  char text[64];
  if (t.hour == 0 && t.minute == 0 && t.second == 0) {
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", t.year, t.month, t.day);
  } else {
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
  }
  return text;
}

}  // namespace platform
