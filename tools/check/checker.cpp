#include "tools/check/checker.h"

#include "platform/error.h"
#include "platform/ini/profile_text.h"
#include "platform/readable_file.h"
#include "run/program_files.h"
#include "tools/check/inspection.h"

namespace check {

std::optional<std::string> ReadProfileText(const std::string& path) {
  try {
    const platform::ini::ProfileText text(platform::ReadRegularFile(path));
    return std::string(text.Text());
  } catch (const platform::Error&) {
    return std::nullopt;
  }
}

Report Inspect(const std::string& settingsPath, const platform::LocalTime& now,
               Unlha32::ArchiverRunner& archivers, const Options& options) {
  Report report;
  report.settingsPath = settingsPath;
  report.logPath = AppModule::BesideSettings(settingsPath, AppModule::kErrorLogExtension);
  // The run requires a readable regular file, and so does the check: a
  // missing one, a folder, a FIFO or a device planted at the name (which a
  // plain open would wait on) is named as such.
  std::string text;
  try {
    platform::RequireReadableFile(settingsPath);
    text = platform::ini::ProfileText(platform::ReadRegularFile(settingsPath)).Text();
  } catch (const platform::Error& e) {
    report.readError = std::string(e.what()) + ".";
    return report;
  }
  report.readable = true;
  CheckStructure(text, report);
  clsIniFile settings;
  settings.FileName(settingsPath);
  PredictSlots(settings, now, archivers, options, report);
  ReadRecords(settings, now, report);
  return report;
}

}  // namespace check
