#include "run/program_files.h"

#include "platform/program.h"

namespace AppModule {

namespace {

std::string BesideProgram(const char* extension) {
  const platform::ProgramPath program = platform::GetProgramPath();
  return program.directory + platform::kPathSeparator + program.baseName + extension;
}

}  // namespace

std::string SettingsFilePath() {
  return BesideProgram(kSettingsExtension);
}
std::string ErrorLogPath() {
  return BesideProgram(kErrorLogExtension);
}
std::string RunLockPath() {
  return BesideProgram(kRunLockExtension);
}
std::string RecoveryFilePath() {
  return BesideProgram(kRecoveryExtension);
}

std::string BesideSettings(const std::string& settingsPath, const char* extension) {
  // The extension is what follows the last dot of the file's own name.
  const size_t nameStart = settingsPath.find_last_of(std::string("/") + platform::kPathSeparator);
  const size_t dot = settingsPath.find_last_of('.');
  const bool hasExtension =
      dot != std::string::npos && (nameStart == std::string::npos || dot > nameStart + 1);
  return (hasExtension ? settingsPath.substr(0, dot) : settingsPath) + extension;
}

}  // namespace AppModule
