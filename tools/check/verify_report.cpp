// --verify's findings in the two forms slotbackup-check prints.
#include <sstream>

#include "tools/check/json_writer.h"
#include "tools/check/plain_text.h"
#include "tools/check/report.h"
#include "tools/check/verify.h"

namespace check {

namespace {

const char* StateName(ArchiveState state) {
  switch (state) {
    case ArchiveState::kVerified:
      return "verified";
    case ArchiveState::kDamaged:
      return "damaged";
    case ArchiveState::kMissing:
      break;
  }
  return "missing";
}

// What became of one archive, in one sentence.
std::string Outcome(const ArchiveCheck& check) {
  switch (check.state) {
    case ArchiveState::kVerified:
      return "verified: " + Counted(check.members, "member", "members") + ", " +
             Counted(check.bytes, "byte", "bytes") + " read back";
    case ArchiveState::kDamaged:
      if (!check.member.empty()) {
        return "damaged in member \"" + check.member + "\": " + check.message;
      }
      if (!check.after.empty()) {
        return "damaged after member \"" + check.after + "\": " + check.message;
      }
      return "damaged: " + check.message;
    case ArchiveState::kMissing:
      break;
  }
  return "missing: " + check.message;
}

void Lines(std::ostringstream& out, const std::string& first, const ArchiveCheck& check) {
  const std::string indent(first.size(), ' ');
  if (!check.path.empty()) {
    out << Wrapped(first, check.path) << Wrapped(indent, Outcome(check));
  } else {
    out << Wrapped(first, Outcome(check));
  }
}

void Archive(JsonWriter& json, const ArchiveCheck& check) {
  json.BeginObject();
  json.MemberOrNull("path", check.path);
  json.Member("state", StateName(check.state));
  json.Key("members");
  json.Integer(static_cast<int64_t>(check.members));
  json.Key("bytes");
  json.Integer(static_cast<int64_t>(check.bytes));
  json.MemberOrNull("member", check.member);
  json.MemberOrNull("after", check.after);
  json.MemberOrNull("message", check.message);
  json.EndObject();
}

}  // namespace

std::string VerificationText(const Verification& verification) {
  std::ostringstream out;
  if (!verification.readable) {
    out << Wrapped("Cannot read the settings file: ", verification.readError);
    return out.str();
  }
  if (!verification.supported) {
    out << "Archives cannot be read back on this system: --verify is not supported here.\n";
    return out.str();
  }
  out << Wrapped("Archives of ", verification.settingsPath + ", read back in full") << "\n";
  size_t counts[3] = {0, 0, 0};
  for (const VerifiedSlot& slot : verification.slots) {
    ++counts[static_cast<int>(slot.State())];
    Lines(out, "  Slot " + slot.key + "  archive  ", slot.archive);
    if (slot.copy) Lines(out, "             copy     ", *slot.copy);
  }
  if (verification.slots.empty()) out << "  No slot writes archives.\n";
  out << "\n"
      << counts[0] << " verified, " << counts[1] << " damaged, " << counts[2]
      << " missing (exit status " << ExitStatus(verification) << ").\n";
  return out.str();
}

std::string VerificationJson(const Verification& verification) {
  JsonWriter json;
  json.BeginObject();
  json.Member("settingsFile", verification.settingsPath);
  json.Key("readable");
  json.Bool(verification.readable);
  json.Key("supported");
  json.Bool(verification.supported);
  if (!verification.readable) {
    json.Member("error", verification.readError);
  }
  json.Key("slots");
  json.BeginArray();
  for (const VerifiedSlot& slot : verification.slots) {
    json.BeginObject();
    json.Member("key", slot.key);
    json.Member("state", StateName(slot.State()));
    json.Key("archive");
    Archive(json, slot.archive);
    json.Key("copy");
    if (slot.copy) {
      Archive(json, *slot.copy);
    } else {
      json.Null();
    }
    json.EndObject();
  }
  json.EndArray();
  json.Key("exitStatus");
  json.Integer(ExitStatus(verification));
  json.EndObject();
  return json.Text() + "\n";
}

}  // namespace check
