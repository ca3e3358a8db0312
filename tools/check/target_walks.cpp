#include "tools/check/target_walks.h"

#include "tools/check/inspection.h"

namespace check {

namespace {

std::string Count(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

bool TargetWalks::CanBeRead(const AppModule::SlotPlan& plan, PlannedSlot& slot) {
  if (walkTime_ <= std::chrono::milliseconds::zero()) return true;
  if (!deadline_) deadline_ = std::chrono::steady_clock::now() + walkTime_;
  auto known = walks_.find(plan.target);
  const bool first = known == walks_.end();
  if (first) {
    known = walks_.emplace(plan.target, check::SurveyTarget(plan.target, *deadline_)).first;
  }
  const check::TargetSurvey& survey = known->second;
  slot.walk = survey;
  const std::string seen = Count(survey.files, "file", "files") + " (" +
                           Count(survey.bytes, "byte", "bytes") + ") in " +
                           Count(survey.folders, "folder", "folders");
  if (first && !survey.complete) {
    Note(report_, "walk-cut-short", AppModule::kTargetSection, plan.key,
         "Slot " + plan.key + ": walking " + Quoted(plan.target) +
             " stopped when the time for walks ran out, having seen " + seen +
             "; what lies beyond was not looked at.",
         "Allow more time with --walk-seconds.");
  }
  if (first && survey.passedOverCount > 0) {
    Note(report_, "passed-over", AppModule::kTargetSection, plan.key,
         "Slot " + plan.key + ": " + Quoted(plan.target) + " holds " +
             Count(survey.passedOverCount, "socket, FIFO or device", "sockets, FIFOs or devices") +
             ", which the archiver passes over, having no contents to keep: " +
             Listed(survey.passedOver, survey.passedOverCount) + ".");
  }
  bool whole = true;
  if (survey.unreadableCount > 0) {
    Problem(report_, "unreadable-entries", AppModule::kTargetSection, plan.key,
            "Slot " + plan.key + ": " + Count(survey.unreadableCount, "entry", "entries") + " in " +
                Quoted(plan.target) +
                " cannot be read by the account running this check, so the archiver leaves "
                "them out (listed beside the archive; the rest is archived) and the run is "
                "recorded as failed in Error_LOG, every run until they can be read: " +
                Listed(survey.unreadable, survey.unreadableCount) + ".",
            "Give the account that runs slotbackup read access to them, or move them out of "
            "the folder.");
    whole = false;
  }
  if (plan.format == AppModule::ArchiveFormat::kLha && survey.tooLargeForLhaCount > 0) {
    Problem(report_, "too-large-for-lha", AppModule::kTargetSection, plan.key,
            "Slot " + plan.key + ": " + Count(survey.tooLargeForLhaCount, "file", "files") +
                " in " + Quoted(plan.target) +
                " are 4 GiB or larger, more than an LHA archive holds, so the archiver leaves "
                "them out (listed beside the archive; the rest is archived) and the run is "
                "recorded as failed in Error_LOG: " +
                Listed(survey.tooLargeForLha, survey.tooLargeForLhaCount) + ".",
            "Archive this folder as ZIP or 7z, or move the large files out of it.");
    whole = false;
  }
  return whole;
}

}  // namespace check
