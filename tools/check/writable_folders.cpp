#include "tools/check/writable_folders.h"

#include <filesystem>
#include <fstream>
#include <random>

#include "run/slot_plan.h"
#include "tools/check/inspection.h"

namespace check {

namespace {

namespace fs = std::filesystem;

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

}  // namespace

bool WritableFolders::TakeFiles(const std::string& folder, const std::string& key,
                                const std::string& consequence) {
  auto known = known_.find(folder);
  if (known == known_.end()) known = known_.emplace(folder, ProbeFolder(folder)).first;
  const FolderState state = known->second;
  if (state == FolderState::kUsable) return true;
  if (!reported_.insert(folder).second) return false;
  const std::string what = state == FolderState::kMissing     ? "does not exist"
                           : state == FolderState::kNotFolder ? "is not a folder"
                                                              : "cannot be written";
  Problem(report_, state == FolderState::kNotWritable ? "folder-not-writable" : "folder-missing",
          AppModule::kSaveSection, AppModule::kSavePathKey,
          "The folder " + Quoted(folder) + " " + what + ": slot " + key + " writes into it, and " +
              consequence + " (and so does every later slot that writes there).",
          state == FolderState::kNotWritable
              ? "Let the account that runs slotbackup write into it."
              : "Create the folder, or correct SavePath or the name.");
  return false;
}

void CheckRecordsCanBeWritten(Report& report) {
  const std::string folder = AppModule::ParentFolder(report.settingsPath);
  bool writable = ProbeFolder(folder) == FolderState::kUsable;
  if (writable) {
    std::ofstream append(FsPath(report.settingsPath), std::ios::binary | std::ios::app);
    writable = static_cast<bool>(append);
  }
  if (!writable) {
    Problem(report, "records-not-writable", "", "",
            "The settings file or its folder cannot be written: the next run could not "
            "record a failure in Error_LOG or an error in " +
                Quoted(report.logPath) + ", and those would be lost.",
            "Let the account that runs slotbackup write the settings file and its folder.");
  }
}

}  // namespace check
