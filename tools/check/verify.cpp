#include "tools/check/verify.h"

#include "platform/error.h"
#include "platform/folder.h"
#include "platform/readable_file.h"
#include "run/slot_plan.h"
#include "settings/ini_file.h"
#include "tools/check/read_back.h"
#include "tools/check/report.h"

namespace check {

namespace {

ArchiveCheck Check(const std::string& path) {
  ArchiveCheck check;
  check.path = path;
  const ReadBack read = ReadArchiveBack(path);
  check.members = read.members;
  check.bytes = read.bytes;
  check.message = read.message;
  if (!read.found) return check;
  check.state = read.whole ? ArchiveState::kVerified : ArchiveState::kDamaged;
  check.member = read.member;
  check.after = read.after;
  return check;
}

// The slot's newest archive, by the run's rule for which files are its own.
ArchiveCheck NewestOf(const AppModule::SlotPlan& plan) {
  ArchiveCheck missing;
  std::vector<platform::FolderEntry> listing;
  try {
    listing = platform::ListFolder(plan.archiveFolder);
  } catch (const platform::Error& e) {
    missing.message = e.what();
    return missing;
  }
  const std::optional<AppModule::StampedArchive> newest = AppModule::NewestArchive(plan, listing);
  if (!newest) {
    const bool stamped = !plan.fileTemplate.empty();
    const std::string name = stamped ? plan.fileTemplate : plan.ArchiveFileName();
    missing.message = std::string("no archive named ") + (stamped ? "like " : "") + "\"" + name +
                      "\" in " + plan.archiveFolder;
    return missing;
  }
  return Check(plan.InArchiveFolder(newest->name));
}

}  // namespace

ArchiveState VerifiedSlot::State() const {
  const auto either = [&](ArchiveState state) {
    return archive.state == state || (copy && copy->state == state);
  };
  if (either(ArchiveState::kDamaged)) return ArchiveState::kDamaged;
  if (either(ArchiveState::kMissing)) return ArchiveState::kMissing;
  return ArchiveState::kVerified;
}

Verification Verify(const std::string& settingsPath, const platform::LocalTime& now) {
  Verification verification;
  verification.settingsPath = settingsPath;
  verification.supported = CanReadBack();
  try {
    platform::RequireReadableFile(settingsPath);
  } catch (const platform::Error& e) {
    verification.readError = std::string(e.what()) + ".";
    return verification;
  }
  verification.readable = true;
  if (!verification.supported) return verification;
  clsIniFile settings;
  settings.FileName(settingsPath);
  const AppModule::SaveSettings save = AppModule::ReadSaveSettings(settings);
  for (int32_t slot = 0; slot < AppModule::kSlotCount; ++slot) {
    const AppModule::SlotPlan plan = AppModule::PlanSlot(settings, save, slot, now);
    if (!plan.Runs()) continue;
    VerifiedSlot verified;
    verified.key = plan.key;
    verified.archive = NewestOf(plan);
    if (!plan.constantPath.empty()) verified.copy = Check(plan.constantPath);
    verification.slots.push_back(std::move(verified));
  }
  return verification;
}

int ExitStatus(const Verification& verification) {
  if (!verification.readable || !verification.supported) return kCannotRead;
  for (const VerifiedSlot& slot : verification.slots) {
    if (slot.State() != ArchiveState::kVerified) return kSomethingFailsOrIsIgnored;
  }
  return kAllWillBeDone;
}

}  // namespace check
