#include "run/log_entry.h"

#include "settings/ini_file.h"

namespace AppModule {

std::string WriteEntry(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& value, platform::ProfileLinks links) {
  clsIniFile ini;
  ini.FileName(file);
  if (links == platform::ProfileLinks::kRefuse) ini.RefuseLinks();
  ini.Section(section);
  return ini.SetStringUnderFreeKey(key, value);
}

}  // namespace AppModule
