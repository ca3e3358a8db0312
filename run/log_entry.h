// Writing a date-time keyed record ("Error_LOG", "ErrorDescription", ...)
// without losing an earlier one written in the same second, also when
// another run writes the same file at the same moment.
#pragma once

#include <string>

namespace AppModule {

// Writes value under key in section of file; when key already holds a value,
// under the first free "<key> (2)", "<key> (3)", ... instead, chosen and
// written in one step. Returns the key written. Throws platform::Error naming
// the file and the system's reason when it cannot be written.
std::string WriteEntry(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& value);

}  // namespace AppModule
