// Writing a date-time keyed record ("Error_LOG", "ErrorDescription", ...)
// without losing an earlier one written in the same second, also when
// another run writes the same file at the same moment.
#pragma once

#include <string>

#include "platform/profile.h"

namespace AppModule {

// Writes value under key in section of file; when key already holds a value,
// under the first free "<key> (2)", "<key> (3)", ... instead, chosen and
// written in one step. Returns the key written. Throws platform::Error naming
// the file and the system's reason when it cannot be written. links: the
// settings file follows a symbolic link at its name, the error log refuses
// one (platform/profile.h).
std::string WriteEntry(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& value, platform::ProfileLinks links);

}  // namespace AppModule
