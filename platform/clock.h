// The clock: local time now, and the date-time text that keys "Error_LOG"
// and error log entries (the system's general date-time form).
#pragma once

#include <string>

namespace platform {

struct LocalTime {
  int year, month, day, hour, minute, second;
};

LocalTime Now();

// POSIX: "yyyy/mm/dd hh:nn:ss", the date alone at exactly midnight.
// Windows: the system's short date, a blank, the long time.
std::string DateTimeText(const LocalTime& time);

}  // namespace platform
