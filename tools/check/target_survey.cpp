#include "tools/check/target_survey.h"

#include "archlib/tree_walk.h"
#include "platform/archive_format.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/input_file.h"
#include "platform/name_text.h"

namespace check {

using platform::Error;
using platform::ToUtf8;

namespace {

// Thrown out of the walk when its time is up.
struct TimeIsUp {};

void Keep(std::vector<std::string>& examples, uint64_t& count, std::string example) {
  if (examples.size() < kSurveyExamples) examples.push_back(std::move(example));
  ++count;
}

}  // namespace

TargetSurvey SurveyTarget(const std::string& target,
                          std::chrono::steady_clock::time_point deadline) {
  TargetSurvey survey;
  archlib::WalkWatch watch;
  watch.passedOver = [&](const std::string& path, platform::FileKind kind) {
    Keep(survey.passedOver, survey.passedOverCount,
         ToUtf8(platform::ShownPath(path)) + " (" + platform::KindName(kind) + ")");
  };
  watch.cannotRead = [&](const Error& failure) {
    Keep(survey.unreadable, survey.unreadableCount, ToUtf8(failure.what()));
  };
  try {
    // As the runner hands the target to a library, and the library takes
    // it from its command line.
    std::string path;
    try {
      path = platform::PathFromCommandLine(platform::ToMultiByteExactly(target));
    } catch (const Error& failure) {
      Keep(survey.unreadable, survey.unreadableCount, failure.what());  // already UTF-8
      return survey;
    }
    archlib::WalkTarget(
        path,
        [&](const archlib::TreeEntry& entry) {
          if (std::chrono::steady_clock::now() >= deadline) throw TimeIsUp{};
          switch (entry.kind) {
            case archlib::TreeEntry::Kind::kDirectory:
              ++survey.folders;
              break;
            case archlib::TreeEntry::Kind::kSymlink:
              ++survey.links;
              break;
            case archlib::TreeEntry::Kind::kFile:
              // Opened as the libraries open each file they store.
              try {
                const uint64_t size = platform::InputFile::Open(entry.diskPath).Size();
                survey.bytes += size;
                ++survey.files;
                if (size > platform::kLhaLargestFile) {
                  Keep(survey.tooLargeForLha, survey.tooLargeForLhaCount,
                       ToUtf8(entry.diskPath) + " (" + std::to_string(size) + " bytes)");
                }
              } catch (const Error& failure) {
                watch.cannotRead(failure);
              }
              break;
          }
        },
        watch);
    survey.complete = true;
  } catch (const TimeIsUp&) {
    survey.complete = false;
  }
  return survey;
}

}  // namespace check
