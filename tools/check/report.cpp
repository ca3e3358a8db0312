#include "tools/check/report.h"

#include <algorithm>

namespace check {

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

int ExitStatus(const Report& report) {
  if (!report.readable) return kCannotRead;
  const bool problem =
      std::any_of(report.findings.begin(), report.findings.end(),
                  [](const Finding& f) { return f.severity == Severity::kProblem; });
  return problem ? kSomethingFailsOrIsIgnored : kAllWillBeDone;
}

}  // namespace check
