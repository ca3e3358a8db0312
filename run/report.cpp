#include "run/report.h"

#include <exception>

#include "platform/codepage.h"
#include "platform/utf8.h"
#include "run/log_entry.h"
#include "run/program_files.h"

namespace AppModule {

namespace {

// One line on standard error, in the system's code page. A program without
// a console (Windows) or with standard error closed loses it harmlessly.
void Say(std::FILE* out, const std::string& line) {
  if (out == nullptr) return;
  try {
    // Bytes the code page cannot show are named (\xNN), never sent raw.
    std::fputs(platform::ToMultiByte("slotbackup: " + platform::Printable(line) + "\n").c_str(),
               out);
    std::fflush(out);
  } catch (...) {
    // Nowhere left to say it.
  }
}

// Writes the entry; "" when written, else why not. Only the settings file,
// the user's, is written through a symbolic link at its name.
std::string TryWrite(const std::string& file, const char* section, const std::string& key,
                     const std::string& value, std::string* written = nullptr) {
  const platform::ProfileLinks links = section == std::string_view(kErrorLogSection)
                                           ? platform::ProfileLinks::kFollow
                                           : platform::ProfileLinks::kRefuse;
  try {
    const std::string chosen = WriteEntry(file, section, key, value, links);
    if (written != nullptr) *written = chosen;
    return "";
  } catch (...) {
    return DescriptionOfCurrentError();
  }
}

}  // namespace

std::string DescriptionOfCurrentError() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

namespace {

constexpr char kTarget[] = "Target:";
constexpr char kMessage[] = "\tMessage:";
constexpr char kNotInErrorLog[] = "\tNotInError_LOG:";

}  // namespace

std::string FormatArchiverMessage(const ArchiverMessage& entry) {
  std::string value = kTarget + entry.target + kMessage + entry.message;
  if (!entry.notInErrorLog.empty()) value += kNotInErrorLog + entry.notInErrorLog;
  return value;
}

std::optional<ArchiverMessage> ParseArchiverMessage(const std::string& value) {
  const std::string_view target = kTarget, message = kMessage, notInErrorLog = kNotInErrorLog;
  if (value.rfind(target, 0) != 0) return std::nullopt;
  const size_t messageAt = value.find(message, target.size());
  if (messageAt == std::string::npos) return std::nullopt;
  ArchiverMessage entry;
  entry.target = value.substr(target.size(), messageAt - target.size());
  const size_t textAt = messageAt + message.size();
  const size_t notAt = value.find(notInErrorLog, textAt);
  entry.message = value.substr(textAt, notAt == std::string::npos ? notAt : notAt - textAt);
  if (notAt != std::string::npos) entry.notInErrorLog = value.substr(notAt + notInErrorLog.size());
  return entry;
}

bool RecordFailedSlot(const ReportFiles& files, const std::string& slotKey,
                      const std::string& target, const std::string& message,
                      const std::string& when) {
  std::string key = when;
  const std::string notInErrorLog =
      TryWrite(files.settingsFile, kErrorLogSection, when, target, &key);
  // The log names bytes the code page cannot show; "Error_LOG" keeps the
  // target exactly as "BackUP_Target" holds it.
  const std::string notInLog =
      TryWrite(files.logFile, kArchiverMessageSection, key,
               platform::Printable(FormatArchiverMessage({target, message, notInErrorLog})));

  std::string line = "slot " + slotKey + ": archiving " + target + " failed: " + message;
  if (!notInErrorLog.empty()) line += " [not recorded in Error_LOG: " + notInErrorLog + "]";
  if (!notInLog.empty()) line += " [not recorded in the error log: " + notInLog + "]";
  Say(files.standardError, line);
  return notInErrorLog.empty();
}

bool RecordError(const ReportFiles& files, const std::string& entry, const std::string& description,
                 const std::string& when) {
  const std::string notInLog =
      TryWrite(files.logFile, kErrorDescriptionSection, when, platform::Printable(entry));
  Say(files.standardError,
      description + (notInLog.empty() ? "" : " [not recorded in the error log: " + notInLog + "]"));
  return notInLog.empty();
}

void RecordRecovery(const ReportFiles& files, const std::string& entry, const std::string& when) {
  const std::string notInLog =
      TryWrite(files.logFile, kRecoverySection, when, platform::Printable(entry));
  if (!notInLog.empty()) {
    Say(files.standardError, entry + " [not recorded in the error log: " + notInLog + "]");
  }
}

void RecordRetention(const ReportFiles& files, const std::string& entry, const std::string& when,
                     const std::string& line) {
  const std::string notInLog =
      TryWrite(files.logFile, kRetentionSection, when, platform::Printable(entry));
  if (line.empty() && notInLog.empty()) return;
  Say(files.standardError,
      (line.empty() ? entry : line) +
          (notInLog.empty() ? "" : " [not recorded in the error log: " + notInLog + "]"));
}

}  // namespace AppModule
