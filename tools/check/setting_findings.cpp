#include "tools/check/setting_findings.h"

#include "archiver/unlha32.h"
#include "archlib/unsafe_name.h"
#include "tools/check/inspection.h"

namespace check {

namespace {

using AppModule::QuotedPath;

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

std::string ArchiveTypeMessage(const std::string& rawType) {
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

}  // namespace

void SettingFindings::CheckArchiveType(const AppModule::SaveSettings& save) {
  if (save.type != AppModule::ArchiveType::kNone) return;
  Problem(report_, "archive-type", AppModule::kSaveSection, AppModule::kArchiveTypeKey,
          ArchiveTypeMessage(save.archiveTypeText),
          "Set ArchiveType to LHA or ZIP, without blanks.");
}

void SettingFindings::CheckSavePath(const AppModule::SaveSettings& save) {
  if (savePathChecked_) return;
  savePathChecked_ = true;
  if (save.savePath.empty()) {
    Problem(report_, "save-path-empty", AppModule::kSaveSection, AppModule::kSavePathKey,
            "SavePath is empty: archives go to the top of the file system (" +
                Unlha32::ArchivePath("", "<name>") + ").",
            "Set SavePath to the folder that should receive the archives.");
  } else if (FsPath(save.savePath).is_relative()) {
    NoteRelative(AppModule::kSaveSection, AppModule::kSavePathKey, save.savePath);
  }
}

void SettingFindings::NoteRelative(const std::string& section, const std::string& key,
                                   const std::string& path) {
  Note(report_, "relative-path", section, key,
       "In [" + section + "] " + key + ": " + Quoted(path) +
           " is a relative path, resolved against the folder the scheduler starts the run "
           "in (for systemd /, for cron the home folder), not the folder of the settings "
           "file.");
}

void SettingFindings::CheckStaysInSaveFolder(const AppModule::SlotPlan& plan,
                                             const std::string& name, const std::string& path,
                                             const char* section, const char* what) {
  if (!archlib::IsUnsafeName(name)) return;
  Problem(report_, "leaves-save-folder", section, plan.key,
          "Slot " + plan.key + ": the " + what + " " + Quoted(name) +
              " is absolute or climbs out with \"..\", yet the run joins every name to the "
              "save folder: it writes " +
              Quoted(path) + ", which is outside the save folder or not where the name says.",
          "Give a name inside the save folder: no leading separator, drive or \"..\".");
}

void SettingFindings::CheckStamp(const AppModule::SlotPlan& plan) {
  if (plan.nameTemplate.find("%D") != std::string::npos) return;
  Note(report_, "no-stamp", AppModule::kNameSection, plan.key,
       "Slot " + plan.key + ": the name has no %D" +
           (plan.nameTemplate.find("%d") != std::string::npos ? " (a lower-case %d is not replaced)"
                                                              : "") +
           ", so every run hands the archiver the same name " + Quoted(plan.name) + ".");
}

void SettingFindings::CheckExtension(const AppModule::SlotPlan& plan, AppModule::ArchiveType type) {
  const std::string extension = Extension(plan.name);
  const bool lha = type == AppModule::ArchiveType::kLha;
  const std::string wanted = lha ? ".lzh" : ".zip";
  if (extension.empty()) {
    Problem(report_, "no-extension", AppModule::kNameSection, plan.key,
            "Slot " + plan.key + ": the archive name " + Quoted(plan.name) +
                " has no extension. The archivers on Windows add an extension of their own, "
                "so the archive would not be found under this name and a fixed-name copy "
                "would fail.",
            "Give the full name, such as " + Quoted(plan.nameTemplate + wanted) + ".");
    return;
  }
  if (lha && extension != "lzh" && extension != "lha") {
    Problem(report_, "extension-mismatch", AppModule::kNameSection, plan.key,
            "Slot " + plan.key + ": an LHA archive will be written under the name " +
                Quoted(plan.name) + ", whose extension ." + extension +
                " tells readers it is something else.",
            "Use .lzh.");
  } else if (!lha && plan.format == AppModule::ArchiveFormat::kSevenZ && extension != "7z") {
    Problem(report_, "extension-mismatch", AppModule::kNameSection, plan.key,
            "Slot " + plan.key + ": 7-zip32 writes ZIP only for a name ending in .zip, so " +
                Quoted(plan.name) + " will be a 7z archive despite its extension ." + extension +
                ".",
            "Use .zip, or .7z for a 7z archive.");
  }
}

void SettingFindings::CheckQuote(const AppModule::SlotPlan& plan) {
  const bool codePage = plan.notInCodePage != QuotedPath::kNone;
  const QuotedPath which = codePage ? plan.notInCodePage : plan.quoted;
  const bool inSave = which == QuotedPath::kSaveFolder;
  if (inSave && quoteInSaveReported_) return;
  if (inSave) quoteInSaveReported_ = true;
  const bool inName = which == QuotedPath::kName;
  const std::string where = inSave   ? "the save folder"
                            : inName ? "the archive name"
                                     : "the target folder";
  const std::string records =
      std::string("The run records ") + (inSave ? "every slot" : "the slot") +
      " as failed in Error_LOG without archiving" + (inSave ? " them." : " it.");
  const char* section = inSave   ? AppModule::kSaveSection
                        : inName ? AppModule::kNameSection
                                 : AppModule::kTargetSection;
  const std::string key = inSave ? AppModule::kSavePathKey : plan.key;
  if (codePage) {
    Problem(report_, "path-not-in-code-page", section, key,
            "Slot " + plan.key + ": " + where + " holds " + plan.lackedCharacter +
                ", which the system's code page lacks, so the archiver would be handed another "
                "path. " +
                records,
            "Rename it without that character.");
    return;
  }
  Problem(report_, "quote-in-path", section, key,
          "Slot " + plan.key + ": " + where +
              " contains a double quote, which would break the archiver's command line. " + records,
          "Rename it without the double quote.");
}

}  // namespace check
