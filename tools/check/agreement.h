// Test support: what a run did with each slot the checker planned, read
// from what the run left behind, to hold against the checker's prediction.
// Each slot of such a test has a target of its own, so that "Error_LOG"
// tells the slots apart.
#pragma once

#include <string>
#include <vector>

#include "tools/check/report.h"

namespace check_test {

struct RunEffects {
  std::vector<std::string> failedTargets;  // the values of "Error_LOG"
  bool endedByError = false;               // an error ended the run
};

// In the plan's order: not reached after the slot that ended the run;
// failed when "Error_LOG" names its target; archived (or no archiver) when
// its archive (when an archiver runs) and its fixed-name copy are in place;
// otherwise the slot that ended the run. Names may carry a stamp other than
// the checker's (stamp): any 14 digits in its place match.
std::vector<check::Outcome> ObservedOutcomes(const check::Report& plan, const std::string& stamp,
                                             const RunEffects& effects);
std::vector<check::Outcome> PredictedOutcomes(const check::Report& plan);

// "0000 archive, 0001 ends-run" for messages.
std::string Describe(const check::Report& plan, const std::vector<check::Outcome>& outcomes);

}  // namespace check_test
