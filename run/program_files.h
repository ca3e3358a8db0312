// The two files beside the executable, named after it: the settings file
// "<program>.ini" and the error log "<program>.log".
#pragma once

#include <string>

namespace AppModule {

std::string SettingsFilePath();
std::string ErrorLogPath();

}  // namespace AppModule
