// The JSON form of a report (render.h), its members named for scripts.
#include <algorithm>
#include <cstdint>

#include "tools/check/json_writer.h"
#include "tools/check/render.h"

namespace check {

namespace {

void EntryObject(JsonWriter& json, const Entry& entry, const char* valueName) {
  json.BeginObject();
  json.Member("time", entry.key);
  json.Member(valueName, entry.value);
  json.EndObject();
}

// An "Error_LOG" entry with the archiver's reason (null when none was logged).
void FailureObject(JsonWriter& json, const Entry& entry) {
  json.BeginObject();
  json.Member("time", entry.key);
  json.Member("target", entry.value);
  json.MemberOrNull("reason", entry.reason);
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
  if (!walk) {
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
  Count(json, "tooLargeForLhaCount", walk->tooLargeForLhaCount);
  Strings(json, "tooLargeForLha", walk->tooLargeForLha);
  Count(json, "passedOverCount", walk->passedOverCount);
  Strings(json, "passedOver", walk->passedOver);
  json.EndObject();
}

void Slots(JsonWriter& json, const Report& report) {
  json.Key("slots");
  json.BeginArray();
  for (const PlannedSlot& slot : report.slots) {
    json.BeginObject();
    json.Member("key", slot.key);
    json.Member("target", slot.target);
    json.Member("nameTemplate", slot.nameTemplate);
    json.Member("name", slot.name);
    json.MemberOrNull("format", slot.format);
    json.MemberOrNull("constantName", slot.constantName);
    json.Member("outcome", OutcomeName(slot.outcome));
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
    json.Key("missing");
    if (slot.missing) {
      json.BeginObject();
      json.Member("list", slot.missing->path);
      Count(json, "count", slot.missing->count);
      Strings(json, "entries", slot.missing->entries);
      json.EndObject();
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
    json.Member("severity", finding.severity == Severity::kProblem ? "problem" : "note");
    json.Member("code", finding.code);
    json.MemberOrNull("section", finding.section);
    json.MemberOrNull("key", finding.key);
    json.Key("line");
    if (finding.line > 0) {
      json.Integer(static_cast<int64_t>(finding.line));
    } else {
      json.Null();
    }
    json.Member("message", finding.message);
    json.MemberOrNull("action", finding.action);
    json.EndObject();
  }
  json.EndArray();
}

// A record: how many entries, the newest first, each written by object.
void NewestEntries(JsonWriter& json, const char* key, int count, const std::vector<Entry>& newest,
                   void (*object)(JsonWriter&, const Entry&)) {
  json.Key(key);
  json.BeginObject();
  json.Key("count");
  json.Integer(count);
  json.Key("newest");
  json.BeginArray();
  for (const Entry& entry : newest) object(json, entry);
  json.EndArray();
  json.EndObject();
}

void LogEntryObject(JsonWriter& json, const Entry& entry) {
  EntryObject(json, entry, "entry");
}

void Records(JsonWriter& json, const Report& report) {
  NewestEntries(json, "errorLog", report.errorLogCount, report.newestErrorLog, FailureObject);

  json.Key("logFile");
  json.BeginObject();
  json.Member("path", report.logPath);
  json.Key("count");
  json.Integer(report.logCount);
  json.Key("newest");
  if (report.newestLogEntry) {
    EntryObject(json, *report.newestLogEntry, "message");
  } else {
    json.Null();
  }
  json.EndObject();

  NewestEntries(json, "recovery", report.recoveryCount, report.newestRecovery, LogEntryObject);
  NewestEntries(json, "retention", report.retentionCount, report.newestRetention, LogEntryObject);
}

}  // namespace

std::string JsonReport(const Report& report) {
  JsonWriter json;
  json.BeginObject();
  json.Member("settingsFile", report.settingsPath);
  json.Key("readable");
  json.Bool(report.readable);
  if (!report.readable) {
    json.Member("error", report.readError);
  } else {
    json.Member("savePath", report.savePath);
    json.Member("archiveType", report.archiveType);
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
