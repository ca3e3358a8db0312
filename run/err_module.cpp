#include "run/err_module.h"

#include "platform/clock.h"
#include "run/program_files.h"
#include "run/report.h"

namespace ErrModule {

bool WriteErrorLog(const std::string& strModuleName, const std::string& strObjectName) {
  const std::string description = AppModule::DescriptionOfCurrentError();
  const std::string message = "ModuleName:" + strModuleName + "\tObjectName:" + strObjectName +
                              "\tErrorInfo:" + description;
  AppModule::ReportFiles files;
  try {
    files.logFile = AppModule::ErrorLogPath();
  } catch (...) {
    // With no path the write fails, and the line on standard error says why.
  }
  return AppModule::RecordError(files, message, description,
                                platform::DateTimeText(platform::Now()));
}

}  // namespace ErrModule
