// A folder's attribute word, in the Windows file-attribute flags
// (1 read-only, 2 hidden, 16 directory, ...). Both throw platform::Error
// "Path not found: <path>" when no folder exists at the path.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

int32_t GetFolderAttributes(const std::string& path);
void SetFolderAttributes(const std::string& path, int32_t attributes);

}  // namespace platform
