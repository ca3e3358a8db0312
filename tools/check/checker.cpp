#include "tools/check/checker.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/file_path.h"
#include "platform/program.h"
#include "run/app_module.h"
#include "run/expand_name.h"
#include "run/program_files.h"
#include "settings/ini_file.h"

namespace check {

namespace fs = std::filesystem;

namespace {

constexpr int kSlotCount = 100;
const std::string kSave = "BackUP_Save";
const std::string kTarget = "BackUP_Target";
const std::string kName = "BackUP_Name";
const std::string kConstantName = "BackUP_ConstantName";
const std::string kErrorLog = AppModule::kErrorLogSection;
const std::string kErrorDescription = AppModule::kErrorDescriptionSection;

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The run upper-cases the archive type this way: ASCII letters only.
std::string UpperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), UpperAscii);
  return text;
}

std::string LowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Section and key names match regardless of ASCII letter case.
bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return UpperAscii(x) == UpperAscii(y);
         });
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

bool IsDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A "key=value" line of a section listing; nothing for a line without '='.
std::optional<Entry> SplitLine(std::string_view line) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Entry{Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

std::string SlotKey(int slot) {
  const std::string digits = std::to_string(slot);
  return std::string(4 - digits.size(), '0') + digits;
}

// Joined as the run joins them: one separator, nothing normalised.
std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder + platform::kPathSeparator + name;
}

// Text read from the settings file is UTF-8; the file system wants its own
// encoding, which the platform converts to as the run does.
fs::path FsPath(const std::string& utf8) {
  return platform::FileSystemPath(utf8);
}

std::string Utf8(const fs::path& path) {
  return platform::PathText(path);
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

enum class SectionKind { kSave, kSlots, kErrorLog, kUnknown };

SectionKind KindOf(const std::string& section) {
  if (SameName(section, kSave)) return SectionKind::kSave;
  if (SameName(section, kTarget) || SameName(section, kName) || SameName(section, kConstantName)) {
    return SectionKind::kSlots;
  }
  if (SameName(section, kErrorLog)) return SectionKind::kErrorLog;
  return SectionKind::kUnknown;
}

// A misspelt section name, such as "Backup Target", compared on its letters
// and digits alone.
std::string Letters(const std::string& name) {
  std::string letters;
  for (char c : name) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      letters += UpperAscii(c);
    }
  }
  return letters;
}

std::string SuggestSection(const std::string& name) {
  for (const std::string* known : {&kSave, &kTarget, &kName, &kConstantName, &kErrorLog}) {
    if (Letters(name) == Letters(*known)) return " Did you mean [" + *known + "]?";
  }
  return "";
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

std::string ParentFolder(const std::string& path) {
  return Utf8(FsPath(path).parent_path());
}

// Lowered extension of the last component of name; empty when it has none.
std::string Extension(const std::string& name) {
  const std::string last = Utf8(FsPath(name).filename());
  const size_t dot = last.find_last_of('.');
  if (dot == std::string::npos) return "";
  return LowerCase(last.substr(dot + 1));
}

bool ContainsQuote(const std::string& text) {
  return text.find('"') != std::string::npos;
}

class Inspector {
 public:
  Inspector(Report& report, const platform::LocalTime& now) : report_(report), now_(now) {
    ini_.FileName(report.settingsPath);
  }

  // Every section and line of the file, against what the run reads. The
  // listing names a section again wherever its header is repeated; the run
  // reads the first alone, so each is looked through once.
  void ListEverything() {
    std::vector<std::string> sections;
    const int32_t count = ini_.EmnumSection(sections);
    std::set<std::string> listed;
    for (int32_t i = 0; i < count; ++i) {
      const std::string& section = sections[static_cast<size_t>(i)];
      if (!listed.insert(UpperCase(section)).second) continue;
      switch (KindOf(section)) {
        case SectionKind::kSave:
          CheckLines(section, false);
          break;
        case SectionKind::kSlots:
          CheckLines(section, true);
          break;
        case SectionKind::kErrorLog:
          break;
        case SectionKind::kUnknown:
          Problem("unknown-section", section, "",
                  "The section [" + section +
                      "] is not one the run reads: everything in it is ignored." +
                      SuggestSection(section));
          break;
      }
    }
  }

  // The section listing names every header, and the run reads only the
  // first of sections with the same name, so the lines of a second one
  // (often appended later) are never read.
  void CheckDuplicateSections() {
    std::vector<std::string> sections;
    const int32_t count = ini_.EmnumSection(sections);
    std::map<std::string, int> seen;
    for (int32_t i = 0; i < count; ++i) {
      const std::string& name = sections[static_cast<size_t>(i)];
      if (KindOf(name) == SectionKind::kUnknown || ++seen[UpperCase(name)] != 2) continue;
      Problem("duplicate-section", name, "",
              "The section [" + name +
                  "] appears more than once: the run reads only the first, so the lines of "
                  "the later ones are never read. Move them into the first.");
    }
  }

  // The run's own reads, slot by slot, and what each slot will come to.
  void PlanRun() {
    ini_.Section(kSave);
    report_.savePath = ini_.GetString("SavePath", "");
    const std::string rawType = ini_.GetString("ArchiveType", "");
    report_.archiveType = UpperCase(rawType);
    lha_ = report_.archiveType == "LHA";
    archiverRuns_ = lha_ || report_.archiveType == "ZIP";
    if (!archiverRuns_) Problem("archive-type", kSave, "ArchiveType", ArchiveTypeMessage(rawType));

    bool ended = false;
    for (int slot = 0; slot < kSlotCount; ++slot) {
      const std::string key = SlotKey(slot);
      PlannedSlot planned;
      planned.key = key;
      planned.target = Read(kTarget, key);
      planned.nameTemplate = Read(kName, key);
      planned.constantName = Read(kConstantName, key);
      if (planned.target.empty()) {
        if (!planned.nameTemplate.empty() || !planned.constantName.empty()) {
          Problem("no-target", kTarget, key,
                  "Slot " + key + " has a name but no target folder in [" + kTarget +
                      "]: nothing is done for it.");
        }
        continue;
      }
      if (planned.nameTemplate.empty()) {
        Problem("no-name", kName, key,
                "Slot " + key + " has the target folder " + Quoted(planned.target) +
                    " but no archive name in [" + kName + "]: the run skips it.");
        continue;
      }
      planned.name = AppModule::ExpandName(planned.nameTemplate, now_);
      // Slots after one that ends the run are still looked at, so that one
      // reading shows everything to mend.
      const Outcome predicted = Predict(planned);
      planned.outcome = ended ? Outcome::kNotReached : predicted;
      if (predicted == Outcome::kEndsRun) ended = true;
      report_.slots.push_back(std::move(planned));
    }
    if (report_.slots.empty()) {
      Note("no-slots", kTarget, "",
           "No slot has both a target folder and a name: the run does nothing.");
    } else {
      CheckRecordsCanBeWritten();
    }
  }

  // "Error_LOG" in the settings file and the newest entry of the error log.
  void ReadRecords() {
    const std::vector<Entry> failures = Entries(ini_, kErrorLog);
    report_.errorLogCount = static_cast<int>(failures.size());
    const size_t newest = std::min(failures.size(), kNewestErrorLogEntries);
    report_.newestErrorLog.assign(failures.rbegin(), failures.rbegin() + newest);

    clsIniFile log;
    log.FileName(report_.logPath);
    const std::vector<Entry> errors = Entries(log, kErrorDescription);
    report_.logCount = static_cast<int>(errors.size());
    if (!errors.empty()) report_.newestLogEntry = errors.back();
  }

 private:
  void Problem(std::string code, std::string section, std::string key, std::string message) {
    report_.findings.push_back(Finding{Severity::kProblem, std::move(code), std::move(section),
                                       std::move(key), std::move(message)});
  }
  void Note(std::string code, std::string section, std::string key, std::string message) {
    report_.findings.push_back(Finding{Severity::kNote, std::move(code), std::move(section),
                                       std::move(key), std::move(message)});
  }

  std::string Read(const std::string& section, const std::string& key) {
    ini_.Section(section);
    return ini_.GetString(key, "");
  }

  static std::vector<std::string> Lines(clsIniFile& ini, const std::string& section) {
    ini.Section(section);
    std::vector<std::string> lines;
    lines.resize(static_cast<size_t>(ini.EnumSectionString(lines)));
    return lines;
  }

  // The key lines of a record section, in file order, which is the order
  // they were written in.
  static std::vector<Entry> Entries(clsIniFile& ini, const std::string& section) {
    std::vector<Entry> entries;
    for (const std::string& line : Lines(ini, section)) {
      if (std::optional<Entry> entry = SplitLine(line)) entries.push_back(std::move(*entry));
    }
    return entries;
  }

  // Lines the run never reads: not key lines, later duplicates of a key,
  // and keys of the wrong form for their section.
  void CheckLines(const std::string& section, bool slotSection) {
    std::set<std::string> seen;
    for (const std::string& line : Lines(ini_, section)) {
      const std::optional<Entry> entry = SplitLine(line);
      if (!entry) {
        Problem("not-a-key", section, "",
                "In [" + section + "] the line " + Quoted(line) +
                    " has no '=': it is not a key and is never read.");
        continue;
      }
      const std::string& key = entry->key;
      if (!seen.insert(UpperCase(key)).second) {
        Problem("duplicate-key", section, key,
                "In [" + section + "] the key " + key +
                    " appears more than once: only its first line is read.");
        continue;
      }
      if (slotSection) {
        CheckSlotKey(section, key);
      } else if (!SameName(key, "SavePath") && !SameName(key, "ArchiveType")) {
        Problem("unknown-key", section, key,
                "In [" + section + "] the key " + key +
                    " is never read: the run reads only SavePath and ArchiveType.");
      }
    }
  }

  void CheckSlotKey(const std::string& section, const std::string& key) {
    if (key.size() == 4 && IsDigits(key)) {
      if (key[0] != '0' || key[1] != '0') {
        Problem("slot-out-of-range", section, key,
                "In [" + section + "] the key " + key +
                    " lies beyond the last slot, 0099: it is never read.");
      }
      return;
    }
    std::string hint;
    if (IsDigits(key) && key.size() < 4) hint = " Write it as " + SlotKey(std::stoi(key)) + ".";
    Problem("not-a-slot-key", section, key,
            "In [" + section + "] the key " + key +
                " is not a slot key: slot keys are exactly four digits, 0000 to 0099, so "
                "this line is never read." +
                hint);
  }

  static std::string ArchiveTypeMessage(const std::string& rawType) {
    const std::string consequence =
        " No archiver runs, so no archive is written: each slot only has its folder's "
        "attributes cleared and restored, and a fixed name is copied from an archive already "
        "in the save folder.";
    if (rawType.empty()) return "ArchiveType is missing or empty." + consequence;
    if (IsBlank(rawType.front())) {
      return "ArchiveType " + Quoted(rawType) +
             " begins with a blank, kept because the value is in quotes; the run compares it "
             "without trimming, so it is neither LHA nor ZIP." +
             consequence;
    }
    if (IsBlank(rawType.back())) {
      return "ArchiveType " + Quoted(rawType) +
             " ends with a blank, kept because the value is in quotes; the run compares it "
             "without trimming, so it is neither LHA nor ZIP." +
             consequence;
    }
    return "ArchiveType " + Quoted(rawType) +
           " is neither LHA nor ZIP (letter case does not matter)." + consequence;
  }

  // Follows the run's steps for one slot up to the first that decides it.
  Outcome Predict(PlannedSlot& slot) {
    // The run reads the target folder's attributes before anything else,
    // and a missing folder ends the run there.
    try {
      AppModule::FolderAttributes(slot.target, -1);
    } catch (const platform::Error& error) {
      Problem("target-missing", kTarget, slot.key,
              "Slot " + slot.key + ": the target folder " + Quoted(slot.target) +
                  " does not exist or is not a folder (" + error.what() +
                  "). The run stops here with an error in the error log, and no later slot "
                  "is processed.");
      return Outcome::kEndsRun;
    }
    if (FsPath(slot.target).is_relative()) NoteRelative(kTarget, slot.key, slot.target);
    if (!archiverRuns_) return PredictWithoutArchiver(slot);

    slot.format = Format(slot);
    if (ContainsQuote(report_.savePath) || ContainsQuote(slot.name) || ContainsQuote(slot.target)) {
      ReportQuote(slot);
      return Outcome::kFails;
    }
    if (slot.nameTemplate.find("%D") == std::string::npos) {
      Note("no-stamp", kName, slot.key,
           "Slot " + slot.key + ": the name has no %D" +
               (slot.nameTemplate.find("%d") != std::string::npos
                    ? " (a lower-case %d is not replaced)"
                    : "") +
               ", so every run hands the archiver the same name " + Quoted(slot.name) + ".");
    }
    CheckSavePath();
    if (!FolderTakesFiles(ParentFolder(JoinPath(report_.savePath, slot.name)), slot.key,
                          "its archiver run fails and is recorded in Error_LOG")) {
      return Outcome::kFails;
    }
    if (!slot.constantName.empty() &&
        !FolderTakesFiles(ParentFolder(JoinPath(report_.savePath, slot.constantName)), slot.key,
                          "the copy to its fixed name fails and the run stops with an error in "
                          "the error log")) {
      return Outcome::kEndsRun;
    }
    return Outcome::kArchive;
  }

  Outcome PredictWithoutArchiver(const PlannedSlot& slot) {
    if (slot.constantName.empty()) return Outcome::kNoArchiver;
    const std::string source = JoinPath(report_.savePath, slot.name);
    std::error_code error;
    if (!fs::is_regular_file(FsPath(source), error)) {
      Problem("copy-source-missing", kConstantName, slot.key,
              "Slot " + slot.key + ": with no archiver to run, the fixed name " +
                  Quoted(slot.constantName) + " is to be copied from " + Quoted(source) +
                  ", which does not exist. The run stops here with an error in the error log.");
      return Outcome::kEndsRun;
    }
    Note("copy-from-old-archive", kConstantName, slot.key,
         "Slot " + slot.key + ": with no archiver to run, the fixed name " +
             Quoted(slot.constantName) + " is refreshed from " + Quoted(source) +
             ", an archive an earlier run left.");
    if (!FolderTakesFiles(ParentFolder(JoinPath(report_.savePath, slot.constantName)), slot.key,
                          "the copy to its fixed name fails and the run stops with an error in "
                          "the error log")) {
      return Outcome::kEndsRun;
    }
    return Outcome::kNoArchiver;
  }

  // The format the archiver library writes for this name, with a finding
  // when the name does not say so.
  std::string Format(const PlannedSlot& slot) {
    const std::string extension = Extension(slot.name);
    const std::string wanted = lha_ ? ".lzh" : ".zip";
    if (extension.empty()) {
      Problem("no-extension", kName, slot.key,
              "Slot " + slot.key + ": the archive name " + Quoted(slot.name) +
                  " has no extension. Give the full name, such as " +
                  Quoted(slot.nameTemplate + wanted) +
                  ": the archivers on Windows add an extension of their own, so the archive "
                  "would not be found under this name and a fixed-name copy would fail.");
    }
    if (lha_) {
      if (!extension.empty() && extension != "lzh" && extension != "lha") {
        Problem("extension-mismatch", kName, slot.key,
                "Slot " + slot.key + ": an LHA archive will be written under the name " +
                    Quoted(slot.name) + ", whose extension ." + extension +
                    " tells readers it is something else. Use .lzh.");
      }
      return "LHA";
    }
    if (extension == "zip") return "ZIP";
    if (!extension.empty() && extension != "7z") {
      Problem("extension-mismatch", kName, slot.key,
              "Slot " + slot.key + ": 7-zip32 writes ZIP only for a name ending in .zip, so " +
                  Quoted(slot.name) + " will be a 7z archive despite its extension ." + extension +
                  ". Use .zip, or .7z for a 7z archive.");
    }
    return "7z";
  }

  void ReportQuote(const PlannedSlot& slot) {
    const bool inSave = ContainsQuote(report_.savePath);
    if (inSave && quoteInSaveReported_) return;
    if (inSave) quoteInSaveReported_ = true;
    const std::string where = inSave                     ? "the save folder"
                              : ContainsQuote(slot.name) ? "the archive name"
                                                         : "the target folder";
    Problem("quote-in-path", inSave ? kSave : (ContainsQuote(slot.name) ? kName : kTarget),
            inSave ? "SavePath" : slot.key,
            "Slot " + slot.key + ": " + where +
                " contains a double quote, which would break the archiver's command line. "
                "The run records " +
                (inSave ? "every slot" : "the slot") + " as failed in Error_LOG without archiving" +
                (inSave ? " them." : " it."));
  }

  void CheckSavePath() {
    if (savePathChecked_) return;
    savePathChecked_ = true;
    if (report_.savePath.empty()) {
      Problem("save-path-empty", kSave, "SavePath",
              "SavePath is empty: archives go to the top of the file system (" +
                  JoinPath("", "<name>") + "). Set it to the folder that should receive them.");
    } else if (FsPath(report_.savePath).is_relative()) {
      NoteRelative(kSave, "SavePath", report_.savePath);
    }
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
    Problem(state == FolderState::kNotWritable ? "folder-not-writable" : "folder-missing", kSave,
            "SavePath",
            "The folder " + Quoted(folder) + " " + what + ": slot " + key +
                " writes into it, and " + consequence +
                " (and so does every later slot that "
                "writes there).");
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
    const fs::path settings = FsPath(report_.settingsPath);
    const std::string folder =
        Utf8(settings.parent_path().empty() ? fs::path(".") : settings.parent_path());
    bool writable = ProbeFolder(folder) == FolderState::kUsable;
    if (writable) {
      std::ofstream append(settings, std::ios::binary | std::ios::app);
      writable = static_cast<bool>(append);
    }
    if (!writable) {
      Problem("records-not-writable", "", "",
              "The settings file or its folder cannot be written: the next run could not "
              "record a failure in Error_LOG or an error in " +
                  Quoted(report_.logPath) + ", and those would be lost.");
    }
  }

  Report& report_;
  platform::LocalTime now_;
  clsIniFile ini_;
  bool lha_ = false;
  bool archiverRuns_ = false;
  bool savePathChecked_ = false;
  bool quoteInSaveReported_ = false;
  std::map<std::string, FolderState> folders_;
  std::set<std::string> reportedFolders_;
};

// GetPrivateProfileString reads a missing or unreadable file as an empty
// one, so whether it can be read is found out first.
bool Readable(const std::string& path, std::string& why) {
  std::error_code error;
  const fs::file_status status = fs::status(FsPath(path), error);
  if (!fs::exists(status)) {
    why = "There is no file " + Quoted(path) + ".";
    return false;
  }
  if (fs::is_directory(status)) {
    why = Quoted(path) + " is a folder, not a settings file.";
    return false;
  }
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) {
    why = Quoted(path) + " cannot be opened for reading.";
    return false;
  }
  return true;
}

}  // namespace

std::string LogPathFor(const std::string& settingsPath) {
  return Utf8(FsPath(settingsPath).replace_extension(".log"));
}

Report Inspect(const std::string& settingsPath, const platform::LocalTime& now) {
  Report report;
  report.settingsPath = settingsPath;
  report.logPath = LogPathFor(settingsPath);
  report.readable = Readable(settingsPath, report.readError);
  if (!report.readable) return report;
  Inspector inspector(report, now);
  inspector.ListEverything();
  inspector.CheckDuplicateSections();
  inspector.PlanRun();
  inspector.ReadRecords();
  return report;
}

int ExitStatus(const Report& report) {
  if (!report.readable) return kCannotRead;
  const bool problem =
      std::any_of(report.findings.begin(), report.findings.end(),
                  [](const Finding& f) { return f.severity == Severity::kProblem; });
  return problem ? kSomethingFailsOrIsIgnored : kAllWillBeDone;
}

}  // namespace check
