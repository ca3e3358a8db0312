#include "run/log_entry.h"

namespace AppModule {

bool SetStringUnderFreeKey(clsIniFile& ini, const std::string& key, const std::string& value) {
  std::string freeKey = key;
  for (int n = 2; !ini.GetString(freeKey, "").empty(); ++n) {
    freeKey = key + " (" + std::to_string(n) + ")";
  }
  return ini.SetString(freeKey, value);
}

}  // namespace AppModule
