#include "tools/check/agreement.h"

#include <algorithm>
#include <filesystem>
#include <regex>

#include "archiver/unlha32.h"
#include "platform/file_path.h"
#include "run/slot_plan.h"

namespace check_test {

namespace {

namespace fs = std::filesystem;

fs::path FsPath(const std::string& text) {
  return platform::FileSystemPath(text);
}

std::string Utf8(const fs::path& path) {
  return platform::PathText(path);
}

// Whether a file of name lies in the save folder, its stamp any 14 digits.
bool Present(const std::string& savePath, const std::string& name, const std::string& stamp) {
  const std::string path = Unlha32::ArchivePath(savePath, name);
  const size_t at = stamp.empty() ? std::string::npos : name.find(stamp);
  if (at == std::string::npos) return fs::is_regular_file(FsPath(path));
  const std::string folder = AppModule::ParentFolder(path);
  const std::string leaf = Utf8(FsPath(path).filename());
  const size_t in = leaf.find(stamp);
  if (in == std::string::npos) return false;
  const auto literal = [](const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
  };
  const std::regex pattern(literal(leaf.substr(0, in)) + "\\d{14}" +
                           literal(leaf.substr(in + stamp.size())));
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(FsPath(folder), error)) {
    if (std::regex_match(Utf8(entry.path().filename()), pattern)) return true;
  }
  return false;
}

}  // namespace

std::vector<check::Outcome> ObservedOutcomes(const check::Report& plan, const std::string& stamp,
                                             const RunEffects& effects) {
  const bool archiverRuns = plan.archiveType == "LHA" || plan.archiveType == "ZIP";
  std::vector<check::Outcome> outcomes;
  bool ended = false;
  for (const check::PlannedSlot& slot : plan.slots) {
    const bool failed =
        std::count(effects.failedTargets.begin(), effects.failedTargets.end(), slot.target) > 0;
    const bool done =
        (!archiverRuns || Present(plan.savePath, slot.name, stamp)) &&
        (slot.constantName.empty() || Present(plan.savePath, slot.constantName, stamp));
    if (ended) {
      outcomes.push_back(check::Outcome::kNotReached);
    } else if (failed) {
      outcomes.push_back(check::Outcome::kFails);
    } else if (done) {
      outcomes.push_back(archiverRuns ? check::Outcome::kArchive : check::Outcome::kNoArchiver);
    } else {
      outcomes.push_back(check::Outcome::kEndsRun);
      ended = true;
    }
  }
  // A run that ended by an error ended at one of the slots, and only then.
  if (ended != effects.endedByError) outcomes.clear();
  return outcomes;
}

std::vector<check::Outcome> PredictedOutcomes(const check::Report& plan) {
  std::vector<check::Outcome> outcomes;
  for (const check::PlannedSlot& slot : plan.slots) outcomes.push_back(slot.outcome);
  return outcomes;
}

std::string Describe(const check::Report& plan, const std::vector<check::Outcome>& outcomes) {
  if (outcomes.size() != plan.slots.size()) return "(the run's ending matches no slot)";
  std::string text;
  for (size_t i = 0; i < outcomes.size(); ++i) {
    text += (i == 0 ? "" : ", ") + plan.slots[i].key + " " + check::OutcomeName(outcomes[i]);
  }
  return text;
}

}  // namespace check_test
