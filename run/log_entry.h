// Writing a date-time keyed record ("Error_LOG", "ErrorDescription") without
// losing an earlier one written in the same second.
#pragma once

#include <string>

#include "settings/ini_file.h"

namespace AppModule {

// Writes value under key in ini's current section; when key already holds a
// value, under the first free "<key> (2)", "<key> (3)", ... instead.
// Returns what SetString returned.
bool SetStringUnderFreeKey(clsIniFile& ini, const std::string& key, const std::string& value);

}  // namespace AppModule
