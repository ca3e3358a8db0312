#include "run/app_module.h"

#include <limits>
#include <optional>
#include <vector>

#include "archiver/unlha32.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/program.h"
#include "platform/readable_file.h"
#include "run/cleared_folder.h"
#include "run/err_module.h"
#include "run/program_files.h"
#include "run/recovery.h"
#include "run/report.h"
#include "run/run_lock.h"
#include "run/slot.h"
#include "settings/ini_file.h"

namespace AppModule {

namespace {

// A double quote would end a quoted path on the archiver's command line and
// let the rest of the text pass as switches.
bool ContainsQuote(const std::string& text) {
  return text.find('"') != std::string::npos;
}

class Run {
 public:
  Run(clsIniFile& settings, const ReportFiles& report)
      : settings_(settings), report_(report), save_(ReadSaveSettings(settings)) {}

  // The folders any slot writes into, for the recovery.
  std::vector<std::string> SlotFolders() {
    std::vector<std::string> folders{save_.savePath};
    const platform::LocalTime now = platform::Now();
    for (int32_t i = 0; i < kSlotCount; ++i) {
      if (const std::optional<Slot> slot = ReadSlot(settings_, i, save_.savePath, now)) {
        for (const std::string& folder : slot->Folders()) folders.push_back(folder);
      }
    }
    return folders;
  }

  // Returns false when the slot's archiver run failed.
  bool RunSlot(int32_t index) {
    const std::optional<Slot> slot = ReadSlot(settings_, index, save_.savePath, platform::Now());
    if (!slot) return true;

    Unlha32::Result result;
    {
      ClearedFolder folder(RecoveryFilePath(), slot->key, slot->target);
      result = Archive(*slot);
      folder.Restore();
    }
    if (!result.succeeded) {
      if (!RecordFailedSlot(report_, slot->key, slot->target, result.message,
                            platform::DateTimeText(platform::Now()))) {
        unrecorded_ = true;
      }
      return false;
    }
    if (!slot->constantPath.empty()) {
      platform::ReplaceWithCopy(slot->archivePath, slot->constantPath);
    }
    return true;
  }

  // Whether a failed archiver run could not be written to "Error_LOG".
  bool Unrecorded() const { return unrecorded_; }

 private:
  // Runs the archiver the archive type names; any other type runs none and
  // counts as success. Whatever way the call ends, the temporary files its
  // process left in the archive's folder are removed.
  Unlha32::Result Archive(const Slot& slot) {
    const bool lha = save_.archiveType == "LHA";
    if (!lha && save_.archiveType != "ZIP") return Unlha32::Result{true, ""};
    if (ContainsQuote(save_.savePath) || ContainsQuote(slot.name) || ContainsQuote(slot.target)) {
      return Unlha32::Result{false,
                             "a double quote in the save folder, the name or the target would "
                             "end a path on the archiver's command line"};
    }
    struct Sweep {
      std::vector<std::string> folders;
      const ReportFiles& report;
      ~Sweep() {
        try {
          RemoveAbandonedFiles(folders, report);
        } catch (...) {
          // What stays is removed by the next run.
        }
      }
    } sweep{{ParentFolder(slot.archivePath)}, report_};
    if (lha) {
      return archivers_.RunUnlha(0,
                                 Unlha32::LhaCommandLine(save_.savePath, slot.name, slot.target));
    }
    return archivers_.RunSevenZip(0,
                                  Unlha32::ZipCommandLine(save_.savePath, slot.name, slot.target));
  }

  clsIniFile& settings_;
  const ReportFiles& report_;
  SaveSettings save_;
  Unlha32::Archivers archivers_;
  bool unrecorded_ = false;
};

int RunAll() {
  RunLock lock(RunLockPath(), kRunLockWait);
  ReportFiles report;
  report.settingsFile = SettingsFilePath();
  report.logFile = ErrorLogPath();
  RestoreClearedFolders(RecoveryFilePath(), lock.PreviousHolder(), report);
  RemoveAbandonedFiles({platform::GetProgramPath().directory}, report);

  platform::RequireReadableFile(report.settingsFile);
  clsIniFile settings;
  settings.FileName(report.settingsFile);
  Run run(settings, report);
  RemoveAbandonedFiles(run.SlotFolders(), report);

  bool allArchived = true;
  for (int32_t slot = 0; slot < kSlotCount; ++slot) {
    platform::ThrowIfInterrupted();
    if (!run.RunSlot(slot)) allArchived = false;
  }
  platform::ThrowIfInterrupted();
  if (run.Unrecorded()) return kRunEndedByError;
  return allArchived ? kRunSucceeded : kArchiverRunFailed;
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
