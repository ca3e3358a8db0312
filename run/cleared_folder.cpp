#include "run/cleared_folder.h"

#include <charconv>

#include "platform/error.h"
#include "platform/interrupt.h"
#include "run/app_module.h"
#include "run/program_files.h"
#include "settings/ini_file.h"

namespace AppModule {

namespace {

// The directory flag of the attribute word, which nothing clears.
constexpr int16_t kDirectory = 0x10;

clsIniFile RecoveryFile(const std::string& file) {
  clsIniFile ini;
  ini.FileName(file);
  ini.RefuseLinks();
  ini.Section(kClearedFolderSection);
  return ini;
}

}  // namespace

// A folder read from the settings file has no blanks at either end and no
// line break, so it reads back exactly after the word and one blank.
std::string FormatRecord(const ClearedFolderRecord& record) {
  return std::to_string(record.word) + " " + record.folder;
}

std::optional<ClearedFolderRecord> ParseRecord(const std::string& value) {
  const size_t blank = value.find(' ');
  if (blank == std::string::npos || blank + 1 >= value.size()) return std::nullopt;
  ClearedFolderRecord record;
  const char* end = value.data() + blank;
  const auto [stop, error] = std::from_chars(value.data(), end, record.word);
  if (error != std::errc() || stop != end) return std::nullopt;
  record.folder = value.substr(blank + 1);
  return record;
}

ClearedFolder::ClearedFolder(const std::string& recoveryFile, const std::string& slotKey,
                             const std::string& path)
    : recoveryFile_(recoveryFile),
      slotKey_(slotKey),
      path_(path),
      saved_(FolderAttributes(path, -1)),
      // A folder with no attribute but the directory flag is left as it is
      // by clearing: there is nothing a later run would have to give back,
      // so it needs no record (and the run no flushed write for it).
      recorded_((saved_ & ~kDirectory) != 0) {
  if (!recorded_) {
    FolderAttributes(path_, 0);
    return;
  }
  clsIniFile records = RecoveryFile(recoveryFile_);
  const std::string key =
      records.SetStringUnderFreeKey(slotKey_, FormatRecord(ClearedFolderRecord{saved_, path_}));
  if (key != slotKey_) {
    // An earlier record of this slot was not removed; never clear on top of it.
    records.DeleteKeyName(key);
    throw platform::Error("The recovery file " + recoveryFile_ + " still holds a record of slot " +
                          slotKey_);
  }
  platform::ArmFolderRestore(path_);
  try {
    FolderAttributes(path_, 0);
  } catch (...) {
    platform::DisarmFolderRestore();
    records.DeleteKeyName(slotKey_);
    throw;
  }
}

ClearedFolder::~ClearedFolder() {
  if (restored_) return;
  try {
    Restore();
  } catch (...) {
    // The error already on its way out is the one to report; the record
    // stays, and the next run restores the folder.
  }
  platform::DisarmFolderRestore();
}

void ClearedFolder::Restore() {
  restored_ = true;
  FolderAttributes(path_, saved_);
  platform::DisarmFolderRestore();
  if (!recorded_) return;
  clsIniFile records = RecoveryFile(recoveryFile_);
  records.DeleteKeyName(slotKey_);
  if (!records.GetString(slotKey_, "").empty()) {
    throw platform::Error("Cannot remove the record of " + path_ + " from " + recoveryFile_);
  }
}

}  // namespace AppModule
