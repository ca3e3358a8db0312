#include "run/expand_name.h"

#include <cstdio>

namespace AppModule {

std::string Stamp(const platform::LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::string ExpandName(const std::string& strName, const platform::LocalTime& now) {
  const size_t at = strName.find("%D");
  if (at == std::string::npos) return strName;
  return strName.substr(0, at) + Stamp(now) + strName.substr(at + 2);
}

}  // namespace AppModule
