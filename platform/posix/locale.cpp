#include "platform/posix/locale.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cctype>

namespace platform::posix {

namespace {

constexpr char kUtf8[] = "UTF-8";

// What a locale's own codeset means for us.
std::string Effective(const std::string& codeset) {
  const std::string name = FoldedCodeset(codeset);
  if (name.empty() || name == "ANSIX3.41968" || name == "ASCII" || name == "USASCII" ||
      name == "646" || name == "UTF8") {
    return kUtf8;
  }
  iconv_t probe = iconv_open(kUtf8, codeset.c_str());
  if (probe == reinterpret_cast<iconv_t>(-1)) return kUtf8;
  iconv_close(probe);
  return codeset;
}

locale_t Utf8Locale() {
  return newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(0));
}

}  // namespace

std::string FoldedCodeset(std::string_view codeset) {
  std::string name;
  for (char c : codeset) {
    if (c != '-' && c != '_')
      name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return name;
}

std::string LocaleCodeset() {
  locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return kUtf8;
  const std::string codeset = nl_langinfo_l(CODESET, locale);
  freelocale(locale);
  return Effective(codeset);
}

ThreadLocale::ThreadLocale(Of which) {
  if (which == Of::kEnvironment) {
    own_ = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    // Read as UTF-8 but not naming it: the thread needs a locale that does.
    if (own_ != static_cast<locale_t>(0)) {
      const std::string codeset = nl_langinfo_l(CODESET, own_);
      if (Effective(codeset) != codeset && FoldedCodeset(codeset) != "UTF8") {
        freelocale(own_);
        own_ = static_cast<locale_t>(0);
      }
    }
  }
  if (own_ == static_cast<locale_t>(0)) own_ = Utf8Locale();
  if (own_ != static_cast<locale_t>(0)) previous_ = uselocale(own_);
}

ThreadLocale::~ThreadLocale() {
  if (own_ == static_cast<locale_t>(0)) return;
  uselocale(previous_);
  freelocale(own_);
}

}  // namespace platform::posix
