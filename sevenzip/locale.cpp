#include "sevenzip/locale.h"

#include <langinfo.h>

#include <cstring>

namespace sevenzip {

ThreadLocale::ThreadLocale() {
  locale_ = newlocale(LC_ALL_MASK, "", nullptr);
  if (locale_ != nullptr && std::strcmp(nl_langinfo_l(CODESET, locale_), "ANSI_X3.4-1968") == 0) {
    freelocale(locale_);
    locale_ = nullptr;
  }
  if (locale_ == nullptr) locale_ = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
  if (locale_ != nullptr) previous_ = uselocale(locale_);
}

ThreadLocale::~ThreadLocale() {
  if (locale_ == nullptr) return;
  uselocale(previous_);
  freelocale(locale_);
}

}  // namespace sevenzip
