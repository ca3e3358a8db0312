#include "run/app_module.h"

#include <limits>

#include "archiver/unlha32.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/program.h"
#include "run/err_module.h"
#include "run/expand_name.h"
#include "run/log_entry.h"
#include "run/program_files.h"
#include "settings/ini_file.h"

namespace AppModule {

namespace {

constexpr int kSlotCount = 100;

// A target folder with its attribute word cleared for the archiver. The
// saved word is restored by Restore(), or, when an error leaves the slot
// first, by the destructor (best effort: the original error is what gets
// logged), so no run leaves a folder stripped of its attributes.
class ClearedFolder {
 public:
  explicit ClearedFolder(const std::string& path)
      : path_(path), saved_(FolderAttributes(path, -1)) {
    FolderAttributes(path, 0);
  }
  ~ClearedFolder() {
    if (restored_) return;
    try {
      FolderAttributes(path_, saved_);
    } catch (...) {
      // The error already on its way out is the one to report.
    }
  }
  ClearedFolder(const ClearedFolder&) = delete;
  ClearedFolder& operator=(const ClearedFolder&) = delete;

  void Restore() {
    restored_ = true;
    FolderAttributes(path_, saved_);
  }

 private:
  std::string path_;
  int16_t saved_;
  bool restored_ = false;
};

std::string UpperCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string SlotKey(int32_t slot) {
  std::string key = std::to_string(slot);
  return std::string(4 - key.size(), '0') + key;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder + platform::kPathSeparator + name;
}

// A double quote would end a quoted path on the archiver's command line and
// let the rest of the text pass as switches.
bool ContainsQuote(const std::string& text) {
  return text.find('"') != std::string::npos;
}

class Run {
 public:
  explicit Run(clsIniFile& settings) : settings_(settings) {
    settings_.Section("BackUP_Save");
    strSavePath_ = settings_.GetString("SavePath", "");
    strArchiveType_ = UpperCase(settings_.GetString("ArchiveType", ""));
  }

  // Returns false when the slot's archiver run failed and was recorded.
  bool Slot(int32_t slot) {
    const std::string key = SlotKey(slot);
    settings_.Section("BackUP_Target");
    const std::string strTarget = settings_.GetString(key, "");
    if (strTarget.empty()) return true;
    settings_.Section("BackUP_Name");
    std::string strName = settings_.GetString(key, "");
    if (strName.empty()) return true;
    strName = ExpandName(strName, platform::Now());

    ClearedFolder folder(strTarget);
    if (!Archive(strName, strTarget)) {
      settings_.Section("Error_LOG");
      SetStringUnderFreeKey(settings_, platform::DateTimeText(platform::Now()), strTarget);
      folder.Restore();
      return false;
    }
    folder.Restore();

    settings_.Section("BackUP_ConstantName");
    const std::string strConstantName = settings_.GetString(key, "");
    if (strConstantName.empty()) return true;
    platform::ReplaceWithCopy(JoinPath(strSavePath_, strName),
                              JoinPath(strSavePath_, strConstantName));
    return true;
  }

 private:
  // Runs the archiver the archive type names; any other type runs none and
  // counts as success.
  bool Archive(const std::string& strName, const std::string& strTarget) {
    const bool lha = strArchiveType_ == "LHA";
    if (!lha && strArchiveType_ != "ZIP") return true;
    if (ContainsQuote(strSavePath_) || ContainsQuote(strName) || ContainsQuote(strTarget)) {
      return false;
    }
    if (lha) {
      return archivers_.RunUnlha(0, Unlha32::LhaCommandLine(strSavePath_, strName, strTarget));
    }
    return archivers_.RunSevenZip(0, Unlha32::ZipCommandLine(strSavePath_, strName, strTarget));
  }

  clsIniFile& settings_;
  std::string strSavePath_;
  std::string strArchiveType_;
  Unlha32::Archivers archivers_;
};

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
  try {
    clsIniFile settings;
    settings.FileName(SettingsFilePath());
    Run run(settings);
    bool allArchived = true;
    for (int32_t slot = 0; slot < kSlotCount; ++slot) {
      if (!run.Slot(slot)) allArchived = false;
    }
    return allArchived ? kRunSucceeded : kArchiverRunFailed;
  } catch (...) {
    try {
      ErrModule::WriteErrorLog("Main", "AppModule");
    } catch (...) {
      // Nothing is left to record the failure with; the exit status still tells.
    }
    return kRunEndedByError;
  }
}

}  // namespace AppModule
