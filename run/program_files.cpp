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
  return BesideProgram(".ini");
}
std::string ErrorLogPath() {
  return BesideProgram(".log");
}
std::string RunLockPath() {
  return BesideProgram(".lock");
}
std::string RecoveryFilePath() {
  return BesideProgram(".recovery");
}

}  // namespace AppModule
