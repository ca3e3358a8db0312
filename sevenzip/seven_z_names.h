// Names in a 7z archive, which stores them in UTF-16 (a name from and to
// the layer's form is platform::NameInUtf16 and platform::NameFromUtf16):
// libarchive's wide names, and folder paths.
#pragma once

#include <string>

namespace sevenzip {

// A wide name (libarchive's) as UTF-16.
std::u16string WideToUtf16(const wchar_t* name);

// A folder's archive path without its trailing '/'.
std::string WithoutSlash(const std::string& path);

}  // namespace sevenzip
