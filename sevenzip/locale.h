// While alive, makes the calling thread use the locale the environment
// names (LC_ALL, LC_CTYPE, LANG), so that libarchive converts entry names
// from the code page the command line arrived in. Under the plain C locale
// names are taken as UTF-8. Other threads and the host program are untouched.
#pragma once

#include <locale.h>

namespace sevenzip {

class ThreadLocale {
 public:
  ThreadLocale();
  ~ThreadLocale();
  ThreadLocale(const ThreadLocale&) = delete;
  ThreadLocale& operator=(const ThreadLocale&) = delete;

 private:
  locale_t locale_ = nullptr;
  locale_t previous_ = nullptr;
};

}  // namespace sevenzip
