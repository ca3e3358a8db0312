// Each slot as the run plans it (run/slot_plan.h), followed through the
// run's steps against the disk: the target, the archiver library, the
// folders written into, what the library will meet in the target, and the
// names slots share or that leave the save folder.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "archiver/unlha32.h"
#include "archlib/unsafe_name.h"
#include "platform/error.h"
#include "platform/folder.h"
#include "platform/program.h"
#include "tools/check/target_survey.h"
#include "run/app_module.h"
#include "run/slot_plan.h"
#include "tools/check/inspection.h"

namespace check {

namespace {

namespace fs = std::filesystem;
using AppModule::ArchiveType;
using AppModule::QuotedPath;
using AppModule::SlotAction;
using AppModule::SlotPlan;

std::string LowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Lowered extension of the last component of name; empty when it has none.
std::string Extension(const std::string& name) {
  const std::string last = platform::PathText(FsPath(name).filename());
  const size_t dot = last.find_last_of('.');
  if (dot == std::string::npos) return "";
  return LowerCase(last.substr(dot + 1));
}

enum class FolderState { kUsable, kMissing, kNotFolder, kNotWritable };

// Whether a new file can be made in folder: only trying tells for certain
// (ownership, access lists, a read-only mount), so an empty file with an
// unlikely name is created and removed at once.
bool CanCreateFileIn(const fs::path& folder) {
  std::random_device random;
  std::error_code error;
  fs::path probe;
  do {
    probe = folder / (".slotbackup-check-" + std::to_string(random()) + ".tmp");
  } while (fs::exists(probe, error));
  {
    std::ofstream out(probe, std::ios::binary);
    if (!out) return false;
  }
  fs::remove(probe, error);
  return true;
}

FolderState ProbeFolder(const std::string& folder) {
  std::error_code error;
  const fs::file_status status = fs::status(FsPath(folder), error);
  if (!fs::exists(status)) return FolderState::kMissing;
  if (!fs::is_directory(status)) return FolderState::kNotFolder;
  return CanCreateFileIn(FsPath(folder)) ? FolderState::kUsable : FolderState::kNotWritable;
}

// Whether inner is outer or lies inside it, links resolved as the archiver
// meets them: a folder reached through a link below outer is not inside,
// since the walk stores links without following them.
bool LiesWithin(const std::string& inner, const std::string& outer) {
  std::error_code error;
  fs::path at = fs::weakly_canonical(FsPath(inner), error);
  if (error) return false;
  const fs::path target = FsPath(outer);
  for (;;) {
    if (fs::equivalent(at, target, error)) return true;
    const fs::path up = at.parent_path();
    if (up.empty() || up == at) return false;
    at = up;
  }
}

// The same file to the system, near enough without it existing: the path
// made plain, and letters folded where names ignore case.
std::string SameFileKey(const std::string& path) {
  std::string key = platform::PathText(FsPath(path).lexically_normal());
  return platform::kPathSeparator == '\\' ? LowerCase(key) : key;
}

std::string Count(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Listed(const std::vector<std::string>& items, uint64_t count) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : "; ") + item;
  if (count > items.size()) text += "; and " + std::to_string(count - items.size()) + " more";
  return text;
}

class SlotPredictor {
 public:
  SlotPredictor(clsIniFile& settings, const platform::LocalTime& now,
                Unlha32::ArchiverRunner& archivers, const Options& options, Report& report)
      : settings_(settings), now_(now), archivers_(archivers), options_(options), report_(report) {}

  void Run() {
    save_ = AppModule::ReadSaveSettings(settings_);
    report_.savePath = save_.savePath;
    report_.archiveType = save_.archiveType;
    if (save_.type == ArchiveType::kNone) {
      Problem("archive-type", AppModule::kSaveSection, AppModule::kArchiveTypeKey,
              ArchiveTypeMessage(save_.archiveTypeText),
              "Set ArchiveType to LHA or ZIP, without blanks.");
    }
    bool ended = false;
    for (int32_t slot = 0; slot < AppModule::kSlotCount; ++slot) {
      const SlotPlan plan = AppModule::PlanSlot(settings_, save_, slot, now_);
      if (plan.action == SlotAction::kUnused) continue;
      if (plan.action == SlotAction::kNoTarget) {
        Problem("no-target", AppModule::kTargetSection, plan.key,
                "Slot " + plan.key + " has a name but no target folder in [" +
                    AppModule::kTargetSection + "]: nothing is done for it.",
                "Give it a target folder, or delete its names.");
        continue;
      }
      if (plan.action == SlotAction::kNoName) {
        Problem("no-name", AppModule::kNameSection, plan.key,
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
                          {}};
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
      Note("no-slots", AppModule::kTargetSection, "",
           "No slot has both a target folder and a name: the run does nothing.");
      return;
    }
    CheckRecordsCanBeWritten();
    CheckSharedNames();
    CheckArchivesInsideTargets();
  }

 private:
  void Problem(std::string code, std::string section, std::string key, std::string message,
               std::string action) {
    report_.findings.push_back(Finding{Severity::kProblem, std::move(code), std::move(section),
                                       std::move(key), 0, std::move(message), std::move(action)});
  }
  void Note(std::string code, std::string section, std::string key, std::string message,
            std::string action = "") {
    report_.findings.push_back(Finding{Severity::kNote, std::move(code), std::move(section),
                                       std::move(key), 0, std::move(message), std::move(action)});
  }

  static std::string ArchiveTypeMessage(const std::string& rawType) {
    const std::string consequence =
        " No archiver runs, so no archive is written: each slot only has its folder's "
        "attributes cleared and restored, and a fixed name is copied from an archive already "
        "in the save folder.";
    if (rawType.empty()) return "ArchiveType is missing or empty." + consequence;
    const std::string kept =
        ", kept because the value is in quotes; the run compares it without trimming, so it is "
        "neither LHA nor ZIP.";
    if (IsBlank(rawType.front())) {
      return "ArchiveType " + Quoted(rawType) + " begins with a blank" + kept + consequence;
    }
    if (IsBlank(rawType.back())) {
      return "ArchiveType " + Quoted(rawType) + " ends with a blank" + kept + consequence;
    }
    return "ArchiveType " + Quoted(rawType) +
           " is neither LHA nor ZIP (letter case does not matter)." + consequence;
  }

  // Follows the run's steps for one slot; the first that decides it gives
  // the outcome, and every later one still adds its findings.
  Outcome Predict(const SlotPlan& plan, PlannedSlot& slot) {
    // The run reads the target folder's attributes before anything else,
    // and a missing folder ends the run there.
    try {
      AppModule::FolderAttributes(plan.target, -1);
    } catch (const platform::Error& error) {
      Problem("target-missing", AppModule::kTargetSection, plan.key,
              "Slot " + plan.key + ": the target folder " + Quoted(plan.target) +
                  " does not exist or is not a folder (" + error.what() +
                  "). The run stops here with an error in the error log, and no later slot "
                  "is processed.",
              "Create the folder, correct the path, or delete the slot.");
      return Outcome::kEndsRun;
    }
    if (FsPath(plan.target).is_relative()) {
      NoteRelative(AppModule::kTargetSection, plan.key, plan.target);
    }
    CheckStaysInSaveFolder(plan, plan.name, plan.archivePath, AppModule::kNameSection,
                           "archive name");
    if (!plan.constantName.empty()) {
      CheckStaysInSaveFolder(plan, plan.constantName, plan.constantPath,
                             AppModule::kConstantNameSection, "fixed name");
    }
    CheckKeeping(plan, slot);
    if (plan.action == SlotAction::kNoArchiver) return PredictWithoutArchiver(plan);

    CheckFormat(plan);
    if (plan.nameTemplate.find("%D") == std::string::npos) {
      Note("no-stamp", AppModule::kNameSection, plan.key,
           "Slot " + plan.key + ": the name has no %D" +
               (plan.nameTemplate.find("%d") != std::string::npos
                    ? " (a lower-case %d is not replaced)"
                    : "") +
               ", so every run hands the archiver the same name " + Quoted(plan.name) + ".");
    }
    CheckSavePath();
    if (plan.action == SlotAction::kRefused) {
      ReportQuote(plan);
      return Outcome::kFails;
    }
    Outcome outcome = Outcome::kArchive;
    const auto decide = [&outcome](bool fine, Outcome otherwise) {
      if (!fine && outcome == Outcome::kArchive) outcome = otherwise;
    };
    decide(LibraryLoads(plan), Outcome::kEndsRun);
    decide(FolderTakesFiles(AppModule::ParentFolder(plan.archivePath), plan.key,
                            "its archiver run fails and is recorded in Error_LOG"),
           Outcome::kFails);
    decide(TargetCanBeRead(plan, slot), Outcome::kFails);
    if (!plan.constantPath.empty()) {
      decide(FolderTakesFiles(AppModule::ParentFolder(plan.constantPath), plan.key,
                              "the copy to its fixed name fails and the run stops with an error "
                              "in the error log"),
             Outcome::kEndsRun);
    }
    return outcome;
  }

  // What "BackUP_Keep" asks of the slot, and the archives the next run
  // removes given what the save folder holds today.
  void CheckKeeping(const SlotPlan& plan, PlannedSlot& slot) {
    switch (plan.keepRule) {
      case AppModule::KeepRule::kAll:
        return;
      case AppModule::KeepRule::kInvalid:
        Problem("keep-invalid", AppModule::kKeepSection, plan.key,
                "Slot " + plan.key + ": [" + AppModule::kKeepSection + "] holds " +
                    Quoted(plan.keepText) +
                    ", which is not a whole number of at least 1, so the run keeps every "
                    "archive of the slot and removes none.",
                "Give the number of archives to keep, such as 7.");
        return;
      case AppModule::KeepRule::kWithoutStamp:
        Problem("keep-without-stamp", AppModule::kKeepSection, plan.key,
                "Slot " + plan.key + " is to keep " + plan.keepText + " archives, but " +
                    (plan.nameTemplate.find("%D") == std::string::npos
                         ? "its name " + Quoted(plan.nameTemplate) +
                               " has no %D, so every run writes the same archive and there are "
                               "no older ones to remove."
                         : "the %D of its name " + Quoted(plan.nameTemplate) +
                               " is in a folder, not in the file name, so each run's archive "
                               "lies in a folder of its own; the run removes none."),
                "Put %D in the archive's file name, or delete the slot's line in [" +
                    std::string(AppModule::kKeepSection) + "].");
        return;
      case AppModule::KeepRule::kNewest:
        break;
    }
    slot.keep = plan.keep;
    if (plan.action != SlotAction::kArchive) return;
    try {
      for (const AppModule::StampedArchive& archive :
           AppModule::ArchivesToRemove(plan, platform::ListFolder(plan.archiveFolder))) {
        slot.removes.push_back(archive.name);
      }
    } catch (const platform::Error&) {
      // A folder that cannot be listed has a finding of its own.
    }
  }

  Outcome PredictWithoutArchiver(const SlotPlan& plan) {
    if (plan.constantName.empty()) return Outcome::kNoArchiver;
    std::error_code error;
    if (!fs::is_regular_file(FsPath(plan.archivePath), error)) {
      Problem("copy-source-missing", AppModule::kConstantNameSection, plan.key,
              "Slot " + plan.key + ": with no archiver to run, the fixed name " +
                  Quoted(plan.constantName) + " is to be copied from " + Quoted(plan.archivePath) +
                  ", which does not exist. The run stops here with an error in the error log.",
              "Set ArchiveType to LHA or ZIP, or remove the fixed name.");
      return Outcome::kEndsRun;
    }
    Note("copy-from-old-archive", AppModule::kConstantNameSection, plan.key,
         "Slot " + plan.key + ": with no archiver to run, the fixed name " +
             Quoted(plan.constantName) + " is refreshed from " + Quoted(plan.archivePath) +
             ", an archive an earlier run left.");
    if (!FolderTakesFiles(AppModule::ParentFolder(plan.constantPath), plan.key,
                          "the copy to its fixed name fails and the run stops with an error in "
                          "the error log")) {
      return Outcome::kEndsRun;
    }
    return Outcome::kNoArchiver;
  }

  // Findings when the name does not say what the library writes.
  void CheckFormat(const SlotPlan& plan) {
    const std::string extension = Extension(plan.name);
    const bool lha = save_.type == ArchiveType::kLha;
    const std::string wanted = lha ? ".lzh" : ".zip";
    if (extension.empty()) {
      Problem("no-extension", AppModule::kNameSection, plan.key,
              "Slot " + plan.key + ": the archive name " + Quoted(plan.name) +
                  " has no extension. The archivers on Windows add an extension of their own, "
                  "so the archive would not be found under this name and a fixed-name copy "
                  "would fail.",
              "Give the full name, such as " + Quoted(plan.nameTemplate + wanted) + ".");
      return;
    }
    if (lha && extension != "lzh" && extension != "lha") {
      Problem("extension-mismatch", AppModule::kNameSection, plan.key,
              "Slot " + plan.key + ": an LHA archive will be written under the name " +
                  Quoted(plan.name) + ", whose extension ." + extension +
                  " tells readers it is something else.",
              "Use .lzh.");
    } else if (!lha && plan.format == AppModule::ArchiveFormat::kSevenZ && extension != "7z") {
      Problem("extension-mismatch", AppModule::kNameSection, plan.key,
              "Slot " + plan.key + ": 7-zip32 writes ZIP only for a name ending in .zip, so " +
                  Quoted(plan.name) + " will be a 7z archive despite its extension ." + extension +
                  ".",
              "Use .zip, or .7z for a 7z archive.");
    }
  }

  // A name that leaves the save folder: absolute, or climbing out with "..".
  void CheckStaysInSaveFolder(const SlotPlan& plan, const std::string& name,
                              const std::string& path, const char* section, const char* what) {
    if (!archlib::IsUnsafeName(name)) return;
    Problem("leaves-save-folder", section, plan.key,
            "Slot " + plan.key + ": the " + what + " " + Quoted(name) +
                " is absolute or climbs out with \"..\", yet the run joins every name to the "
                "save folder: it writes " +
                Quoted(path) + ", which is outside the save folder or not where the name says.",
            "Give a name inside the save folder: no leading separator, drive or \"..\".");
  }

  void ReportQuote(const SlotPlan& plan) {
    const bool inSave = plan.quoted == QuotedPath::kSaveFolder;
    if (inSave && quoteInSaveReported_) return;
    if (inSave) quoteInSaveReported_ = true;
    const bool inName = plan.quoted == QuotedPath::kName;
    const std::string where = inSave   ? "the save folder"
                              : inName ? "the archive name"
                                       : "the target folder";
    Problem("quote-in-path",
            inSave   ? AppModule::kSaveSection
            : inName ? AppModule::kNameSection
                     : AppModule::kTargetSection,
            inSave ? AppModule::kSavePathKey : plan.key,
            "Slot " + plan.key + ": " + where +
                " contains a double quote, which would break the archiver's command line. "
                "The run records " +
                (inSave ? "every slot" : "the slot") + " as failed in Error_LOG without archiving" +
                (inSave ? " them." : " it."),
            "Rename it without the double quote.");
  }

  void CheckSavePath() {
    if (savePathChecked_) return;
    savePathChecked_ = true;
    if (save_.savePath.empty()) {
      Problem("save-path-empty", AppModule::kSaveSection, AppModule::kSavePathKey,
              "SavePath is empty: archives go to the top of the file system (" +
                  Unlha32::ArchivePath("", "<name>") + ").",
              "Set SavePath to the folder that should receive the archives.");
    } else if (FsPath(save_.savePath).is_relative()) {
      NoteRelative(AppModule::kSaveSection, AppModule::kSavePathKey, save_.savePath);
    }
  }

  // Loads the slot's library as the run would; a finding the first time it
  // cannot be, with the loader's reason.
  bool LibraryLoads(const SlotPlan& plan) {
    auto known = loads_.find(plan.library);
    if (known == loads_.end()) {
      std::string reason;
      try {
        archivers_.Load(plan.library);
      } catch (const platform::Error& error) {
        reason = error.what();
      }
      known = loads_.emplace(plan.library, reason).first;
      if (!reason.empty()) {
        Problem("archiver-not-loadable", AppModule::kSaveSection, AppModule::kArchiveTypeKey,
                "Slot " + plan.key + ": the archiver library " +
                    Unlha32::LibraryName(plan.library) +
                    " cannot be loaded as the run loads it: " + reason +
                    ". The run stops at this slot with an error in the error log, and no later "
                    "slot is processed.",
                std::string("Install the ") + Unlha32::LibraryName(plan.library) +
                    " library beside slotbackup, in the folder of this settings file.");
      }
    }
    return known->second.empty();
  }

  // Walks the target as the library will, within the time left for walks;
  // false when the library would find something it cannot read.
  bool TargetCanBeRead(const SlotPlan& plan, PlannedSlot& slot) {
    if (options_.walkTime <= std::chrono::milliseconds::zero()) return true;
    if (!deadline_) deadline_ = std::chrono::steady_clock::now() + options_.walkTime;
    auto known = walks_.find(plan.target);
    const bool first = known == walks_.end();
    if (first) {
      known = walks_.emplace(plan.target, check::SurveyTarget(plan.target, *deadline_)).first;
    }
    const check::TargetSurvey& survey = known->second;
    slot.walk = survey;
    if (!survey.available) {
      if (!walkUnavailableNoted_) {
        walkUnavailableNoted_ = true;
        Note("walk-unavailable", "", "",
             "The target folders are not walked on this system: whether the archiver can "
             "read everything in them is not known until it runs.");
      }
      return true;
    }
    const std::string seen = Count(survey.files, "file", "files") + " (" +
                             Count(survey.bytes, "byte", "bytes") + ") in " +
                             Count(survey.folders, "folder", "folders");
    if (first && !survey.complete) {
      Note("walk-cut-short", AppModule::kTargetSection, plan.key,
           "Slot " + plan.key + ": walking " + Quoted(plan.target) +
               " stopped when the time for walks ran out, having seen " + seen +
               "; what lies beyond was not looked at.",
           "Allow more time with --walk-seconds.");
    }
    if (first && survey.passedOverCount > 0) {
      Note(
          "passed-over", AppModule::kTargetSection, plan.key,
          "Slot " + plan.key + ": " + Quoted(plan.target) + " holds " +
              Count(survey.passedOverCount, "socket, FIFO or device", "sockets, FIFOs or devices") +
              ", which the archiver passes over, having no contents to keep: " +
              Listed(survey.passedOver, survey.passedOverCount) + ".");
    }
    if (survey.unreadableCount == 0) return true;
    Problem("unreadable-entries", AppModule::kTargetSection, plan.key,
            "Slot " + plan.key + ": " + Count(survey.unreadableCount, "entry", "entries") + " in " +
                Quoted(plan.target) +
                " cannot be read by the account running this check, so the archiver run fails "
                "and is recorded in Error_LOG, every run until they can: " +
                Listed(survey.unreadable, survey.unreadableCount) + ".",
            "Give the account that runs slotbackup read access to them, or move them out of "
            "the folder.");
    return false;
  }

  // Whether files can be written into folder; a finding names each folder
  // that cannot take them once, with the consequence for the first slot.
  bool FolderTakesFiles(const std::string& folder, const std::string& key,
                        const std::string& consequence) {
    auto known = folders_.find(folder);
    if (known == folders_.end()) known = folders_.emplace(folder, ProbeFolder(folder)).first;
    const FolderState state = known->second;
    if (state == FolderState::kUsable) return true;
    if (!reportedFolders_.insert(folder).second) return false;
    const std::string what = state == FolderState::kMissing     ? "does not exist"
                             : state == FolderState::kNotFolder ? "is not a folder"
                                                                : "cannot be written";
    Problem(
        state == FolderState::kNotWritable ? "folder-not-writable" : "folder-missing",
        AppModule::kSaveSection, AppModule::kSavePathKey,
        "The folder " + Quoted(folder) + " " + what + ": slot " + key + " writes into it, and " +
            consequence + " (and so does every later slot that writes there).",
        state == FolderState::kNotWritable ? "Let the account that runs slotbackup write into it."
                                           : "Create the folder, or correct SavePath or the name.");
    return false;
  }

  void NoteRelative(const std::string& section, const std::string& key, const std::string& path) {
    Note("relative-path", section, key,
         "In [" + section + "] " + key + ": " + Quoted(path) +
             " is a relative path, resolved against the folder the scheduler starts the run "
             "in (for systemd /, for cron the home folder), not the folder of the settings "
             "file.");
  }

  // The run records failures in the settings file and errors in the log
  // beside it; both are written by replacing the file from its folder.
  void CheckRecordsCanBeWritten() {
    const std::string folder = AppModule::ParentFolder(report_.settingsPath);
    bool writable = ProbeFolder(folder) == FolderState::kUsable;
    if (writable) {
      std::ofstream append(FsPath(report_.settingsPath), std::ios::binary | std::ios::app);
      writable = static_cast<bool>(append);
    }
    if (!writable) {
      Problem("records-not-writable", "", "",
              "The settings file or its folder cannot be written: the next run could not "
              "record a failure in Error_LOG or an error in " +
                  Quoted(report_.logPath) + ", and those would be lost.",
              "Let the account that runs slotbackup write the settings file and its folder.");
    }
  }

  // Two slots writing one file: an archive that holds both folders, or a
  // fixed copy that holds the other slot's archive.
  void CheckSharedNames() {
    struct Written {
      const SlotPlan* plan;
      bool fixed;
    };
    std::map<std::string, Written> written;
    std::set<std::pair<std::string, std::string>> reported;
    const auto write = [&](const SlotPlan& plan, const std::string& path, bool fixed) {
      const auto [at, added] = written.emplace(SameFileKey(path), Written{&plan, fixed});
      const Written& first = at->second;
      if (added || first.plan == &plan || !reported.emplace(first.plan->key, plan.key).second) {
        return;
      }
      const bool archives = !first.fixed && !fixed;
      const bool stamped = first.plan->nameTemplate.find("%D") != std::string::npos;
      const std::string role = [&](const Written& w) {
        return std::string(w.fixed ? "the fixed name" : "the archive") + " of " + w.plan->key;
      }(first);
      Problem("shared-name", fixed ? AppModule::kConstantNameSection : AppModule::kNameSection,
              plan.key,
              "Slots " + first.plan->key + " and " + plan.key + " both write " + Quoted(path) +
                  " (" + role + ", and the " + (fixed ? "fixed name" : "archive") + " of " +
                  plan.key + ")" +
                  (archives && stamped ? " whenever they run within the same second" : "") + ": " +
                  (archives ? "the later run adds its folder to the archive of the earlier, so "
                              "one archive holds both folders."
                            : "the later copy or archive replaces or updates the earlier one, so "
                              "one slot's file holds the other slot's archive."),
              "Give each slot names of its own.");
    };
    for (const SlotPlan& plan : plans_) {
      if (plan.action == SlotAction::kArchive) write(plan, plan.archivePath, false);
      if ((plan.action == SlotAction::kArchive || plan.action == SlotAction::kNoArchiver) &&
          !plan.constantPath.empty()) {
        write(plan, plan.constantPath, true);
      }
    }
  }

  // A folder the run writes archives into that lies inside a target the
  // archiver walks: each archive then holds all the earlier ones.
  void CheckArchivesInsideTargets() {
    std::vector<std::string> written;
    for (const SlotPlan& plan : plans_) {
      if (plan.action == SlotAction::kArchive) {
        written.push_back(AppModule::ParentFolder(plan.archivePath));
      }
      if (plan.action != SlotAction::kRefused && !plan.constantPath.empty()) {
        written.push_back(AppModule::ParentFolder(plan.constantPath));
      }
    }
    std::sort(written.begin(), written.end());
    written.erase(std::unique(written.begin(), written.end()), written.end());
    std::set<std::string> reported;
    for (const SlotPlan& plan : plans_) {
      if (plan.action != SlotAction::kArchive) continue;
      for (const std::string& folder : written) {
        if (!LiesWithin(folder, plan.target) || !reported.insert(plan.key).second) continue;
        Problem("archives-inside-target", AppModule::kTargetSection, plan.key,
                "Slot " + plan.key + " backs up " + Quoted(plan.target) +
                    ", and archives are written into " + Quoted(folder) +
                    ", which lies inside it: each archive packs every archive already there, "
                    "so each is larger than the last until the disk is full.",
                "Choose a save folder outside the target folder.");
      }
    }
  }

  clsIniFile& settings_;
  const platform::LocalTime now_;
  Unlha32::ArchiverRunner& archivers_;
  const Options& options_;
  Report& report_;
  AppModule::SaveSettings save_;
  std::vector<SlotPlan> plans_;
  bool savePathChecked_ = false;
  bool quoteInSaveReported_ = false;
  bool walkUnavailableNoted_ = false;
  std::map<std::string, FolderState> folders_;
  std::set<std::string> reportedFolders_;
  std::map<Unlha32::Library, std::string> loads_;  // the loader's reason; empty when loaded
  std::map<std::string, check::TargetSurvey> walks_;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
};

}  // namespace

void PredictSlots(clsIniFile& settings, const platform::LocalTime& now,
                  Unlha32::ArchiverRunner& archivers, const Options& options, Report& report) {
  SlotPredictor(settings, now, archivers, options, report).Run();
}

}  // namespace check
