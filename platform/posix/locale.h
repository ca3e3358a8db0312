// The code page of the environment: the codeset of the locale that LC_ALL,
// LC_CTYPE and LANG name, as the program converts its text to it and the
// archiver libraries store and read names in it. Plain ASCII (the C and
// POSIX locales report ANSI_X3.4-1968), a locale that is not installed and
// a codeset iconv cannot convert all count as UTF-8, as a scheduler that
// starts the program without locale variables expects.
#pragma once

#include <locale.h>

#include <string>
#include <string_view>

namespace platform::posix {

// A codeset's name as names are compared: letters in upper case, '-' and
// '_' dropped ("ANSI_X3.4-1968" -> "ANSIX3.41968", "utf-8" -> "UTF8").
std::string FoldedCodeset(std::string_view codeset);

// The codeset's name, read afresh on every call without touching the
// process's locale: "UTF-8", "SHIFT_JIS", "EUC-JP", ...
std::string LocaleCodeset();

// While alive, makes the calling thread use a locale (for libarchive's name
// conversions): the environment's, or C.UTF-8 where LocaleCodeset reads the
// environment as UTF-8 without naming a UTF-8 locale; or C.UTF-8 itself,
// which holds every name. Other threads and the host program are untouched.
class ThreadLocale {
 public:
  enum class Of { kEnvironment, kUtf8 };
  explicit ThreadLocale(Of which);
  ~ThreadLocale();
  ThreadLocale(const ThreadLocale&) = delete;
  ThreadLocale& operator=(const ThreadLocale&) = delete;

 private:
  locale_t own_ = static_cast<locale_t>(0);
  locale_t previous_ = static_cast<locale_t>(0);
};

}  // namespace platform::posix
