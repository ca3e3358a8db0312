#include "platform/target_survey.h"

namespace platform {

// The archiver DLLs on Windows are the user's own, and what they store or
// refuse is theirs to decide: no walk here can tell it.
TargetSurvey SurveyTarget(const std::string&, std::chrono::steady_clock::time_point) {
  return TargetSurvey{};
}

}  // namespace platform
