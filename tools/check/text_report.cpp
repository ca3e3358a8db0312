// The plain-words form of a report (render.h).
#include <sstream>

#include "tools/check/plain_text.h"
#include "tools/check/render.h"

namespace check {

namespace {

// What walking the target found, in one line.
std::string WalkText(const check::TargetSurvey& walk) {
  std::string text = Counted(walk.files, "file", "files") + " (" +
                     Counted(walk.bytes, "byte", "bytes") + ") in " +
                     Counted(walk.folders, "folder", "folders");
  if (walk.links > 0) text += ", " + Counted(walk.links, "link", "links");
  if (walk.unreadableCount > 0) text += "; " + WithCommas(walk.unreadableCount) + " unreadable";
  if (walk.tooLargeForLhaCount > 0) {
    text += "; " + WithCommas(walk.tooLargeForLhaCount) + " of 4 GiB or more";
  }
  if (walk.passedOverCount > 0) text += "; " + WithCommas(walk.passedOverCount) + " passed over";
  if (!walk.complete) text += "; cut short";
  return text;
}

std::string ResultText(const PlannedSlot& slot) {
  const bool copy = !slot.constantName.empty();
  switch (slot.outcome) {
    case Outcome::kArchive:
      return copy ? "archived, then copied to the fixed name" : "archived";
    case Outcome::kNoArchiver:
      return copy ? "no archiver runs; the fixed name is refreshed from the existing archive"
                  : "no archiver runs; only the folder's attributes are cleared and restored";
    case Outcome::kFails:
      return "fails, and is recorded in Error_LOG";
    case Outcome::kEndsRun:
      return "ends the run with an error in the error log";
    case Outcome::kNotReached:
      return "not reached: an earlier slot ends the run";
  }
  return "";
}

// How many archives the slot keeps and what its next run removes.
std::string KeepText(const PlannedSlot& slot) {
  std::string text = "the newest " + WithCommas(slot.keep) + "; the next run removes ";
  if (slot.removes.empty()) return text + "none";
  for (size_t i = 0; i < slot.removes.size(); ++i) {
    text += (i == 0 ? "" : ", ") + slot.removes[i];
  }
  return text;
}

void Plan(std::ostringstream& out, const Report& report) {
  out << "The next run\n";
  out << Wrapped("  Save folder   ", report.savePath.empty() ? "(empty)" : report.savePath);
  std::string type = report.archiveType;
  if (type != "LHA" && type != "ZIP") {
    type = (type.empty() ? "(empty)" : "\"" + type + "\"") + ", so no archiver runs";
  }
  out << Wrapped("  Archive type  ", type);
  if (report.slots.empty()) out << "  No slot will run.\n";
  for (const PlannedSlot& slot : report.slots) {
    out << "\n";
    out << Wrapped("  Slot " + slot.key + "  target  ", slot.target);
    out << Wrapped("             name    ",
                   slot.name + (slot.format.empty() ? "" : " (" + slot.format + ")"));
    if (!slot.constantName.empty()) out << Wrapped("             copy    ", slot.constantName);
    if (slot.keep > 0) out << Wrapped("             keeps   ", KeepText(slot));
    if (slot.walk) {
      out << Wrapped("             walked  ", WalkText(*slot.walk));
    }
    out << Wrapped("             result  ", ResultText(slot));
    if (slot.lastFailure) {
      out << Wrapped("             failed  ",
                     slot.lastFailure->key +
                         (slot.lastFailure->reason.empty() ? "" : ": " + slot.lastFailure->reason));
    }
    if (slot.missing) {
      std::string text = Counted(slot.missing->count, "entry", "entries") +
                         " left out of the newest archive, listed in " + slot.missing->path;
      for (const std::string& entry : slot.missing->entries) text += "; " + entry;
      if (slot.missing->count > slot.missing->entries.size()) text += "; ...";
      out << Wrapped("             missing ", text);
    }
  }
}

void Findings(std::ostringstream& out, const Report& report, Severity severity,
              const std::string& title) {
  size_t count = 0;
  for (const Finding& finding : report.findings) count += finding.severity == severity;
  if (count == 0) return;
  out << "\n" << title << " (" << count << ")\n";
  for (const Finding& finding : report.findings) {
    if (finding.severity != severity) continue;
    const std::string line = finding.line > 0 ? "line " + std::to_string(finding.line) + ": " : "";
    out << Wrapped("  - ", line + finding.message);
    if (!finding.action.empty()) out << Wrapped("    What to do: ", finding.action);
  }
}

std::string Entries(int count) {
  return std::to_string(count) + (count == 1 ? " entry" : " entries");
}

// A section of the log, when it has entries: how many, the newest first.
void NewestEntries(std::ostringstream& out, const std::string& title, int count,
                   const std::vector<Entry>& newest) {
  if (count == 0) return;
  out << "  " << title << ": " << Entries(count) << ", the newest first:\n";
  for (const Entry& entry : newest) {
    out << Wrapped("    " + Printable(entry.key) + "  ", entry.value);
  }
}

void Records(std::ostringstream& out, const Report& report) {
  out << "\nWhat earlier runs recorded\n";
  if (report.errorLogCount == 0) {
    out << "  Error_LOG: no entries.\n";
  } else {
    out << "  Error_LOG: " << Entries(report.errorLogCount) << ", the newest first:\n";
    for (const Entry& entry : report.newestErrorLog) {
      out << Wrapped("    " + Printable(entry.key) + "  ", entry.value);
      if (!entry.reason.empty()) out << Wrapped("      ", entry.reason);
    }
  }
  out << Wrapped(
      "  Error log ",
      report.logPath + ": " +
          (report.logCount == 0 ? "no entries." : Entries(report.logCount) + ", the newest:"));
  if (report.newestLogEntry) {
    out << Wrapped("    " + Printable(report.newestLogEntry->key) + "  ",
                   report.newestLogEntry->value);
  }
  NewestEntries(out, "What runs did about interrupted ones", report.recoveryCount,
                report.newestRecovery);
  NewestEntries(out, "Archives runs removed to keep the newest", report.retentionCount,
                report.newestRetention);
}

}  // namespace

std::string TextReport(const Report& report) {
  std::ostringstream out;
  if (!report.readable) {
    out << Wrapped("Cannot read the settings file: ", report.readError);
    return out.str();
  }
  out << Wrapped("Settings file ", report.settingsPath) << "\n";
  Plan(out, report);
  Findings(out, report, Severity::kProblem, "What the run will fail at or ignore");
  Findings(out, report, Severity::kNote, "Notes");
  Records(out, report);
  out << "\n"
      << (ExitStatus(report) == kAllWillBeDone
              ? "The next run will do everything this file asks (exit status 0).\n"
              : "Something this file asks for will fail or be ignored (exit status 1).\n");
  return out.str();
}

}  // namespace check
