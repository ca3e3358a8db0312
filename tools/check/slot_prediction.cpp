// Each slot as the run plans it (run/slot_plan.h), followed through the
// run's steps against the disk to the outcome the next run will give it;
// the findings of each step come from the files named below.
#include <filesystem>

#include "platform/error.h"
#include "run/app_module.h"
#include "run/slot_plan.h"
#include "tools/check/archiver_libraries.h"
#include "tools/check/inspection.h"
#include "tools/check/keeping.h"
#include "tools/check/missing_lists.h"
#include "tools/check/setting_findings.h"
#include "tools/check/slot_overlaps.h"
#include "tools/check/target_walks.h"
#include "tools/check/writable_folders.h"

namespace check {

namespace {

namespace fs = std::filesystem;
using AppModule::SlotAction;
using AppModule::SlotPlan;

constexpr char kArchiveFails[] = "its archiver run fails and is recorded in Error_LOG";
constexpr char kCopyEndsRun[] =
    "the copy to its fixed name fails and the run stops with an error in the error log";

class SlotPredictor {
 public:
  SlotPredictor(clsIniFile& settings, const platform::LocalTime& now,
                Unlha32::ArchiverRunner& archivers, const Options& options, Report& report)
      : settings_(settings),
        now_(now),
        report_(report),
        settingFindings_(report),
        libraries_(archivers, report),
        folders_(report),
        walks_(options.walkTime, report) {}

  void Run() {
    save_ = AppModule::ReadSaveSettings(settings_);
    report_.savePath = save_.savePath;
    report_.archiveType = save_.archiveType;
    settingFindings_.CheckArchiveType(save_);
    bool ended = false;
    for (int32_t slot = 0; slot < AppModule::kSlotCount; ++slot) {
      const SlotPlan plan = AppModule::PlanSlot(settings_, save_, slot, now_);
      if (plan.action == SlotAction::kUnused) continue;
      if (plan.action == SlotAction::kNoTarget) {
        Problem(report_, "no-target", AppModule::kTargetSection, plan.key,
                "Slot " + plan.key + " has a name but no target folder in [" +
                    AppModule::kTargetSection + "]: nothing is done for it.",
                "Give it a target folder, or delete its names.");
        continue;
      }
      if (plan.action == SlotAction::kNoName) {
        Problem(report_, "no-name", AppModule::kNameSection, plan.key,
                "Slot " + plan.key + " has the target folder " + Quoted(plan.target) +
                    " but no archive name in [" + AppModule::kNameSection + "]: the run skips it.",
                "Give it an archive name, such as " + Quoted(plan.key + "_%D.zip") + ".");
        continue;
      }
      PlannedSlot planned{plan.key,
                          plan.target,
                          plan.nameTemplate,
                          plan.name,
                          AppModule::FormatName(plan.format),
                          plan.constantName,
                          Outcome::kArchive,
                          std::nullopt,
                          std::nullopt,
                          0,
                          {},
                          std::nullopt};
      // Slots after one that ends the run are still looked at, so that one
      // reading shows everything to mend.
      const Outcome predicted = Predict(plan, planned);
      planned.outcome = ended ? Outcome::kNotReached : predicted;
      // Only a slot that archives removes old archives.
      if (planned.outcome != Outcome::kArchive) planned.removes.clear();
      if (predicted == Outcome::kEndsRun) ended = true;
      plans_.push_back(plan);
      report_.slots.push_back(std::move(planned));
    }
    if (report_.slots.empty()) {
      Note(report_, "no-slots", AppModule::kTargetSection, "",
           "No slot has both a target folder and a name: the run does nothing.");
      return;
    }
    CheckRecordsCanBeWritten(report_);
    CheckSharedNames(plans_, report_);
    CheckArchivesInsideTargets(plans_, report_);
  }

 private:
  // Follows the run's steps for one slot; the first that decides it gives
  // the outcome, and every later one still adds its findings.
  Outcome Predict(const SlotPlan& plan, PlannedSlot& slot) {
    // The run reads the target folder's attributes before anything else,
    // and a missing folder ends the run there.
    try {
      AppModule::FolderAttributes(plan.target, -1);
    } catch (const platform::Error& error) {
      Problem(report_, "target-missing", AppModule::kTargetSection, plan.key,
              "Slot " + plan.key + ": the target folder " + Quoted(plan.target) +
                  " does not exist or is not a folder (" + error.what() +
                  "). The run stops here with an error in the error log, and no later slot "
                  "is processed.",
              "Create the folder, correct the path, or delete the slot.");
      return Outcome::kEndsRun;
    }
    if (FsPath(plan.target).is_relative()) {
      settingFindings_.NoteRelative(AppModule::kTargetSection, plan.key, plan.target);
    }
    settingFindings_.CheckStaysInSaveFolder(plan, plan.name, plan.archivePath,
                                            AppModule::kNameSection, "archive name");
    if (!plan.constantName.empty()) {
      settingFindings_.CheckStaysInSaveFolder(plan, plan.constantName, plan.constantPath,
                                              AppModule::kConstantNameSection, "fixed name");
    }
    CheckKeeping(plan, slot, report_);
    ReadMissingList(plan, slot);
    if (plan.action == SlotAction::kNoArchiver) return PredictWithoutArchiver(plan);

    settingFindings_.CheckExtension(plan, save_.type);
    settingFindings_.CheckStamp(plan);
    settingFindings_.CheckSavePath(save_);
    if (plan.action == SlotAction::kRefused) {
      settingFindings_.CheckQuote(plan);
      return Outcome::kFails;
    }
    Outcome outcome = Outcome::kArchive;
    const auto decide = [&outcome](bool fine, Outcome otherwise) {
      if (!fine && outcome == Outcome::kArchive) outcome = otherwise;
    };
    decide(libraries_.Load(plan), Outcome::kEndsRun);
    decide(folders_.TakeFiles(AppModule::ParentFolder(plan.archivePath), plan.key, kArchiveFails),
           Outcome::kFails);
    decide(walks_.CanBeRead(plan, slot), Outcome::kFails);
    if (!plan.constantPath.empty()) {
      decide(folders_.TakeFiles(AppModule::ParentFolder(plan.constantPath), plan.key, kCopyEndsRun),
             Outcome::kEndsRun);
    }
    return outcome;
  }

  // With no archiver to run, a fixed name is copied from an archive an
  // earlier run left.
  Outcome PredictWithoutArchiver(const SlotPlan& plan) {
    if (plan.constantName.empty()) return Outcome::kNoArchiver;
    std::error_code error;
    if (!fs::is_regular_file(FsPath(plan.archivePath), error)) {
      Problem(report_, "copy-source-missing", AppModule::kConstantNameSection, plan.key,
              "Slot " + plan.key + ": with no archiver to run, the fixed name " +
                  Quoted(plan.constantName) + " is to be copied from " + Quoted(plan.archivePath) +
                  ", which does not exist. The run stops here with an error in the error log.",
              "Set ArchiveType to LHA or ZIP, or remove the fixed name.");
      return Outcome::kEndsRun;
    }
    Note(report_, "copy-from-old-archive", AppModule::kConstantNameSection, plan.key,
         "Slot " + plan.key + ": with no archiver to run, the fixed name " +
             Quoted(plan.constantName) + " is refreshed from " + Quoted(plan.archivePath) +
             ", an archive an earlier run left.");
    if (!folders_.TakeFiles(AppModule::ParentFolder(plan.constantPath), plan.key, kCopyEndsRun)) {
      return Outcome::kEndsRun;
    }
    return Outcome::kNoArchiver;
  }

  clsIniFile& settings_;
  const platform::LocalTime now_;
  Report& report_;
  SettingFindings settingFindings_;
  ArchiverLibraries libraries_;
  WritableFolders folders_;
  TargetWalks walks_;
  AppModule::SaveSettings save_;
  std::vector<SlotPlan> plans_;
};

}  // namespace

void PredictSlots(clsIniFile& settings, const platform::LocalTime& now,
                  Unlha32::ArchiverRunner& archivers, const Options& options, Report& report) {
  SlotPredictor(settings, now, archivers, options, report).Run();
}

}  // namespace check
