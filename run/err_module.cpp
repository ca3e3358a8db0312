#include "run/err_module.h"

#include <exception>

#include "platform/clock.h"
#include "platform/utf8.h"
#include "run/log_entry.h"
#include "run/program_files.h"
#include "settings/ini_file.h"

namespace ErrModule {

namespace {

std::string DescriptionOfCurrentError() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

}  // namespace

void WriteErrorLog(const std::string& strModuleName, const std::string& strObjectName) {
  const std::string description = DescriptionOfCurrentError();
  // A path in the description may hold bytes the code page cannot show; the
  // log names them instead (platform/utf8.h).
  const std::string message =
      platform::Printable("ModuleName:" + strModuleName + "\tObjectName:" + strObjectName +
                          "\tErrorInfo:" + description);
  clsIniFile log;
  log.FileName(AppModule::ErrorLogPath());
  log.Section("ErrorDescription");
  AppModule::SetStringUnderFreeKey(log, platform::DateTimeText(platform::Now()), message);
}

}  // namespace ErrModule
