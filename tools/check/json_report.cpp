#include <algorithm>
#include <cstdint>

#include "tools/check/json_writer.h"
#include "tools/check/render.h"

namespace check {

namespace {

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kArchive:
      return "archive";
    case Outcome::kNoArchiver:
      return "no-archiver";
    case Outcome::kFails:
      return "fails";
    case Outcome::kEndsRun:
      return "ends-run";
    case Outcome::kNotReached:
      return "not-reached";
  }
  return "";
}

void Member(JsonWriter& json, const char* key, const std::string& value) {
  json.Key(key);
  json.String(value);
}

// Empty text as null: the slot has no fixed name, the run no archiver.
void MemberOrNull(JsonWriter& json, const char* key, const std::string& value) {
  json.Key(key);
  if (value.empty()) {
    json.Null();
  } else {
    json.String(value);
  }
}

void EntryObject(JsonWriter& json, const Entry& entry, const char* valueName) {
  json.BeginObject();
  Member(json, "time", entry.key);
  Member(json, valueName, entry.value);
  json.EndObject();
}

// An "Error_LOG" entry with the archiver's reason (null when none was logged).
void FailureObject(JsonWriter& json, const Entry& entry) {
  json.BeginObject();
  Member(json, "time", entry.key);
  Member(json, "target", entry.value);
  MemberOrNull(json, "reason", entry.reason);
  json.EndObject();
}

void Count(JsonWriter& json, const char* key, uint64_t value) {
  json.Key(key);
  json.Integer(static_cast<int64_t>(value));
}

void Strings(JsonWriter& json, const char* key, const std::vector<std::string>& items) {
  json.Key(key);
  json.BeginArray();
  for (const std::string& item : items) json.String(item);
  json.EndArray();
}

void Walk(JsonWriter& json, const std::optional<check::TargetSurvey>& walk) {
  json.Key("walk");
  if (!walk || !walk->available) {
    json.Null();
    return;
  }
  json.BeginObject();
  json.Key("complete");
  json.Bool(walk->complete);
  Count(json, "files", walk->files);
  Count(json, "folders", walk->folders);
  Count(json, "links", walk->links);
  Count(json, "bytes", walk->bytes);
  Count(json, "unreadableCount", walk->unreadableCount);
  Strings(json, "unreadable", walk->unreadable);
  Count(json, "passedOverCount", walk->passedOverCount);
  Strings(json, "passedOver", walk->passedOver);
  json.EndObject();
}

void Slots(JsonWriter& json, const Report& report) {
  json.Key("slots");
  json.BeginArray();
  for (const PlannedSlot& slot : report.slots) {
    json.BeginObject();
    Member(json, "key", slot.key);
    Member(json, "target", slot.target);
    Member(json, "nameTemplate", slot.nameTemplate);
    Member(json, "name", slot.name);
    MemberOrNull(json, "format", slot.format);
    MemberOrNull(json, "constantName", slot.constantName);
    Member(json, "outcome", OutcomeName(slot.outcome));
    Walk(json, slot.walk);
    json.Key("keep");
    if (slot.keep == 0) {
      json.Null();
    } else {
      json.Integer(static_cast<int64_t>(std::min<uint64_t>(slot.keep, INT64_MAX)));
    }
    Strings(json, "removes", slot.removes);
    json.Key("lastFailure");
    if (slot.lastFailure) {
      FailureObject(json, *slot.lastFailure);
    } else {
      json.Null();
    }
    json.EndObject();
  }
  json.EndArray();
}

void Findings(JsonWriter& json, const Report& report) {
  json.Key("findings");
  json.BeginArray();
  for (const Finding& finding : report.findings) {
    json.BeginObject();
    Member(json, "severity", finding.severity == Severity::kProblem ? "problem" : "note");
    Member(json, "code", finding.code);
    MemberOrNull(json, "section", finding.section);
    MemberOrNull(json, "key", finding.key);
    json.Key("line");
    if (finding.line > 0) {
      json.Integer(static_cast<int64_t>(finding.line));
    } else {
      json.Null();
    }
    Member(json, "message", finding.message);
    MemberOrNull(json, "action", finding.action);
    json.EndObject();
  }
  json.EndArray();
}

// A section of the log: how many entries, the newest first.
void NewestEntries(JsonWriter& json, const char* key, int count, const std::vector<Entry>& newest) {
  json.Key(key);
  json.BeginObject();
  json.Key("count");
  json.Integer(count);
  json.Key("newest");
  json.BeginArray();
  for (const Entry& entry : newest) EntryObject(json, entry, "entry");
  json.EndArray();
  json.EndObject();
}

void Records(JsonWriter& json, const Report& report) {
  json.Key("errorLog");
  json.BeginObject();
  json.Key("count");
  json.Integer(report.errorLogCount);
  json.Key("newest");
  json.BeginArray();
  for (const Entry& entry : report.newestErrorLog) FailureObject(json, entry);
  json.EndArray();
  json.EndObject();

  json.Key("logFile");
  json.BeginObject();
  Member(json, "path", report.logPath);
  json.Key("count");
  json.Integer(report.logCount);
  json.Key("newest");
  if (report.newestLogEntry) {
    EntryObject(json, *report.newestLogEntry, "message");
  } else {
    json.Null();
  }
  json.EndObject();

  NewestEntries(json, "recovery", report.recoveryCount, report.newestRecovery);
  NewestEntries(json, "retention", report.retentionCount, report.newestRetention);
}

}  // namespace

std::string JsonReport(const Report& report) {
  JsonWriter json;
  json.BeginObject();
  Member(json, "settingsFile", report.settingsPath);
  json.Key("readable");
  json.Bool(report.readable);
  if (!report.readable) {
    Member(json, "error", report.readError);
  } else {
    Member(json, "savePath", report.savePath);
    Member(json, "archiveType", report.archiveType);
    json.Key("archiverRuns");
    json.Bool(report.archiveType == "LHA" || report.archiveType == "ZIP");
    Slots(json, report);
    Findings(json, report);
    Records(json, report);
  }
  json.Key("exitStatus");
  json.Integer(ExitStatus(report));
  json.EndObject();
  return json.Text() + "\n";
}

}  // namespace check
