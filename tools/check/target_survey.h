// What the archiver library will meet in a target folder, found before it
// runs by walking the target as the library walks it (the very walk the
// libraries use, archlib::WalkTarget, opening each file as they open it):
// what it stores, what it passes over, and what it cannot read, which the
// library leaves out of the archive, failing its run. The walk stops at a
// deadline and says so.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace check {

struct TargetSurvey {
  // False when the deadline came before the last entry: the figures are
  // what was seen until then.
  bool complete = false;
  uint64_t files = 0;
  uint64_t folders = 0;
  uint64_t links = 0;
  uint64_t bytes = 0;  // of the files, as they were when opened
  // What cannot be read (the library's own reasons), the first few of them.
  uint64_t unreadableCount = 0;
  std::vector<std::string> unreadable;
  // Files larger than an LHA archive holds (platform::kLhaLargestFile),
  // which an LHA slot leaves out, the first few ("<path> (<bytes> bytes)").
  uint64_t tooLargeForLhaCount = 0;
  std::vector<std::string> tooLargeForLha;
  // Sockets, FIFOs, devices and Windows reparse points passed over, the
  // first few ("<path> (a FIFO)").
  uint64_t passedOverCount = 0;
  std::vector<std::string> passedOver;
};

// How many reasons and paths a survey keeps of each kind.
inline constexpr size_t kSurveyExamples = 5;

// target in UTF-8, as the settings file names it.
TargetSurvey SurveyTarget(const std::string& target,
                          std::chrono::steady_clock::time_point deadline);

}  // namespace check
