#include "tools/check/slot_overlaps.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "platform/program.h"
#include "tools/check/inspection.h"

namespace check {

namespace {

namespace fs = std::filesystem;
using AppModule::SlotAction;
using AppModule::SlotPlan;

// Whether inner is outer or lies inside it, links resolved as the archiver
// meets them: a folder reached through a link below outer is not inside,
// since the walk stores links without following them.
bool LiesWithin(const std::string& inner, const std::string& outer) {
  std::error_code error;
  fs::path at = fs::weakly_canonical(FsPath(inner), error);
  if (error) return false;
  const fs::path target = FsPath(outer);
  for (;;) {
    if (fs::equivalent(at, target, error)) return true;
    const fs::path up = at.parent_path();
    if (up.empty() || up == at) return false;
    at = up;
  }
}

// The same file to the system, near enough without it existing: the path
// made plain, and letters folded where names ignore case.
std::string SameFileKey(const std::string& path) {
  std::string key = platform::PathText(FsPath(path).lexically_normal());
  return platform::kPathSeparator == '\\' ? LowerCase(key) : key;
}

}  // namespace

void CheckSharedNames(const std::vector<SlotPlan>& plans, Report& report) {
  struct Written {
    const SlotPlan* plan;
    bool fixed;
  };
  std::map<std::string, Written> written;
  std::set<std::pair<std::string, std::string>> reported;
  const auto write = [&](const SlotPlan& plan, const std::string& path, bool fixed) {
    const auto [at, added] = written.emplace(SameFileKey(path), Written{&plan, fixed});
    const Written& first = at->second;
    if (added || first.plan == &plan || !reported.emplace(first.plan->key, plan.key).second) {
      return;
    }
    const bool archives = !first.fixed && !fixed;
    const bool stamped = first.plan->nameTemplate.find("%D") != std::string::npos;
    const std::string role =
        std::string(first.fixed ? "the fixed name" : "the archive") + " of " + first.plan->key;
    Problem(report, "shared-name",
            fixed ? AppModule::kConstantNameSection : AppModule::kNameSection, plan.key,
            "Slots " + first.plan->key + " and " + plan.key + " both write " + Quoted(path) + " (" +
                role + ", and the " + (fixed ? "fixed name" : "archive") + " of " + plan.key + ")" +
                (archives && stamped ? " whenever they run within the same second" : "") + ": " +
                (archives ? "the later run adds its folder to the archive of the earlier, so "
                            "one archive holds both folders."
                          : "the later copy or archive replaces or updates the earlier one, so "
                            "one slot's file holds the other slot's archive."),
            "Give each slot names of its own.");
  };
  for (const SlotPlan& plan : plans) {
    if (plan.action == SlotAction::kArchive) write(plan, plan.archivePath, false);
    if ((plan.action == SlotAction::kArchive || plan.action == SlotAction::kNoArchiver) &&
        !plan.constantPath.empty()) {
      write(plan, plan.constantPath, true);
    }
  }
}

void CheckArchivesInsideTargets(const std::vector<SlotPlan>& plans, Report& report) {
  std::vector<std::string> written;
  for (const SlotPlan& plan : plans) {
    if (plan.action == SlotAction::kArchive) {
      written.push_back(AppModule::ParentFolder(plan.archivePath));
    }
    if (plan.action != SlotAction::kRefused && !plan.constantPath.empty()) {
      written.push_back(AppModule::ParentFolder(plan.constantPath));
    }
  }
  std::sort(written.begin(), written.end());
  written.erase(std::unique(written.begin(), written.end()), written.end());
  std::set<std::string> reported;
  for (const SlotPlan& plan : plans) {
    if (plan.action != SlotAction::kArchive) continue;
    for (const std::string& folder : written) {
      if (!LiesWithin(folder, plan.target) || !reported.insert(plan.key).second) continue;
      Problem(report, "archives-inside-target", AppModule::kTargetSection, plan.key,
              "Slot " + plan.key + " backs up " + Quoted(plan.target) +
                  ", and archives are written into " + Quoted(folder) +
                  ", which lies inside it: each archive packs every archive already there, "
                  "so each is larger than the last until the disk is full.",
              "Choose a save folder outside the target folder.");
    }
  }
}

}  // namespace check
