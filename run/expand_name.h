// Archive names: a slot's template with its first "%D" replaced by the
// 14-digit local date-time stamp "yyyymmddhhnnss".
#pragma once

#include <string>

#include "platform/clock.h"

namespace AppModule {

std::string Stamp(const platform::LocalTime& time);

// Only the first "%D" (case-sensitive) is replaced; a template without one
// is returned unchanged.
std::string ExpandName(const std::string& strName, const platform::LocalTime& now);

}  // namespace AppModule
