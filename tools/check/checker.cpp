#include "tools/check/checker.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "run/program_files.h"
#include "settings/profile_text.h"
#include "tools/check/inspection.h"

namespace check {

namespace fs = std::filesystem;

namespace {

// The run reads a missing or unreadable settings file as an empty one (and
// then stops with an error), so whether it can be read is found out first.
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

std::optional<std::string> ReadProfileText(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const settings::ProfileText text(std::move(bytes));
  return std::string(text.Text());
}

Report Inspect(const std::string& settingsPath, const platform::LocalTime& now,
               Unlha32::ArchiverRunner& archivers, const Options& options) {
  Report report;
  report.settingsPath = settingsPath;
  report.logPath = AppModule::BesideSettings(settingsPath, AppModule::kErrorLogExtension);
  report.readable = Readable(settingsPath, report.readError);
  const std::optional<std::string> text =
      report.readable ? ReadProfileText(settingsPath) : std::nullopt;
  if (!text) {
    report.readable = false;
    return report;
  }
  CheckStructure(*text, report);
  clsIniFile settings;
  settings.FileName(settingsPath);
  PredictSlots(settings, now, archivers, options, report);
  ReadRecords(settings, now, report);
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
