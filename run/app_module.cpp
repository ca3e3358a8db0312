#include "run/app_module.h"

#include <limits>

#include "archiver/unlha32.h"
#include "platform/attributes.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/program.h"
#include "platform/readable_file.h"
#include "run/err_module.h"
#include "run/program_files.h"
#include "run/recovery.h"
#include "run/report.h"
#include "run/run_lock.h"
#include "run/slot_run.h"
#include "settings/ini_file.h"

namespace AppModule {

namespace {

int RunAll() {
  RunLock lock(RunLockPath(), kRunLockWait);
  // Like the lock, the run's own record files are never reached through a
  // link planted at their names: the run stops before it changes anything.
  platform::RequireRegularFileOrNothing(ErrorLogPath());
  platform::RequireRegularFileOrNothing(RecoveryFilePath());
  ReportFiles report;
  report.settingsFile = SettingsFilePath();
  report.logFile = ErrorLogPath();
  RestoreClearedFolders(RecoveryFilePath(), lock.PreviousHolder(), report);
  RemoveAbandonedFiles({platform::GetProgramPath().directory}, report);

  platform::RequireReadableFile(report.settingsFile);
  clsIniFile settings;
  settings.FileName(report.settingsFile);
  Unlha32::Archivers archivers;
  SlotRun run(settings, report, RecoveryFilePath(), archivers);
  RemoveAbandonedFiles(run.Folders(), report);
  return run.RunSlots();
}

}  // namespace

int16_t FolderAttributes(const std::string& strPath, const int16_t& intAttributes) {
  if (intAttributes != -1) platform::SetFolderAttributes(strPath, intAttributes);
  const int32_t word = platform::GetFolderAttributes(strPath);
  if (word < std::numeric_limits<int16_t>::min() || word > std::numeric_limits<int16_t>::max()) {
    throw platform::Error("Overflow: the attributes of " + strPath + " (" + std::to_string(word) +
                          ") do not fit in 16 bits");
  }
  return static_cast<int16_t>(word);
}

int Main() {
  platform::InstallInterruptHandlers();
  try {
    return RunAll();
  } catch (const platform::Interrupted& interrupted) {
    ErrModule::WriteErrorLog("Main", "AppModule");
    return kInterruptedBase + interrupted.Signal();
  } catch (...) {
    ErrModule::WriteErrorLog("Main", "AppModule");
    return kRunEndedByError;
  }
}

}  // namespace AppModule
