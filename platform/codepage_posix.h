// The POSIX side of the code-page conversion, open to tests: which codeset
// the environment's locale names, and conversion between named codesets.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The codeset of the LC_CTYPE locale named by the environment (LC_ALL,
// LC_CTYPE, LANG), read afresh on every call without touching the program's
// own locale. The plain C/POSIX locale, an unknown locale and a codeset iconv
// cannot convert all give "UTF-8".
std::string LocaleCodeset();

// Converts text from one codeset to another with iconv. A character the
// target cannot represent becomes '?'; a byte sequence invalid in the source
// becomes U+FFFD when the target is UTF-8 and '?' otherwise; conversion goes
// on after either. Throws platform::Error when iconv knows neither name.
std::string ConvertCodeset(std::string_view text, const char* from, const char* to);

}  // namespace platform
