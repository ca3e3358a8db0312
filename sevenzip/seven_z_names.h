// Names in a 7z archive, which stores them in UTF-16: from and to the
// multibyte text of the calling thread's locale, as readers in that locale
// give them back.
#pragma once

#include <string>

namespace sevenzip {

// A name in the thread's locale as UTF-16; a byte that is no character of
// the locale becomes U+FFFD, so that the entry is still stored.
std::u16string ToUtf16(const std::string& name);
// A wide name (libarchive's) as UTF-16.
std::u16string WideToUtf16(const wchar_t* name);
// The name as a reader in the same locale gives it back; a character the
// locale lacks becomes '?'.
std::string FromUtf16(const std::u16string& name);

// A folder's archive path without its trailing '/'.
std::string WithoutSlash(const std::string& path);

}  // namespace sevenzip
