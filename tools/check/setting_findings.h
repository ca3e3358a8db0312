// Findings that the settings' own text gives, before the disk is asked: an
// archive type that runs no archiver, an empty or relative save folder, a
// double quote or a character the archiver's command line cannot carry, and
// archive names
// without a stamp, with an extension that misleads, or leaving the save
// folder. What concerns the whole run is named once.
#pragma once

#include <string>

#include "run/slot_plan.h"
#include "tools/check/report.h"

namespace check {

class SettingFindings {
 public:
  explicit SettingFindings(Report& report) : report_(report) {}

  // An archive type that is neither LHA nor ZIP, as the run compares it.
  void CheckArchiveType(const AppModule::SaveSettings& save);
  // The save folder: empty, or relative. Once, however many slots ask.
  void CheckSavePath(const AppModule::SaveSettings& save);
  void NoteRelative(const std::string& section, const std::string& key, const std::string& path);
  // A name that leaves the save folder: absolute, or climbing out with "..".
  // what names it in the message ("archive name", "fixed name").
  void CheckStaysInSaveFolder(const AppModule::SlotPlan& plan, const std::string& name,
                              const std::string& path, const char* section, const char* what);
  // A name without "%D", which gives every run the same archive.
  void CheckStamp(const AppModule::SlotPlan& plan);
  // A name that does not say what the library writes.
  void CheckExtension(const AppModule::SlotPlan& plan, AppModule::ArchiveType type);
  // The double quote, or the character the system's code page lacks, that
  // makes a slot fail; in the save folder, named once.
  void CheckQuote(const AppModule::SlotPlan& plan);

 private:
  Report& report_;
  bool savePathChecked_ = false;
  bool quoteInSaveReported_ = false;
};

}  // namespace check
