#include <sys/stat.h>

#include "archlib/tree_walk.h"
#include "platform/archive_format.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/posix/regular_file.h"
#include "tools/check/target_survey.h"

namespace check {

using platform::Error;
using platform::ToMultiByte;
using platform::ToUtf8;
namespace posix = platform::posix;

namespace {

// Thrown out of the walk when its time is up.
struct TimeIsUp {};

const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "a device";
}

void Keep(std::vector<std::string>& examples, uint64_t& count, std::string example) {
  if (examples.size() < kSurveyExamples) examples.push_back(std::move(example));
  ++count;
}

}  // namespace

TargetSurvey SurveyTarget(const std::string& target,
                          std::chrono::steady_clock::time_point deadline) {
  TargetSurvey survey;
  survey.available = true;
  archlib::WalkWatch watch;
  watch.passedOver = [&](const std::string& path, mode_t mode) {
    Keep(survey.passedOver, survey.passedOverCount, ToUtf8(path) + " (" + KindOf(mode) + ")");
  };
  watch.cannotRead = [&](const Error& failure) {
    Keep(survey.unreadable, survey.unreadableCount, ToUtf8(failure.what()));
  };
  try {
    archlib::WalkTarget(
        ToMultiByte(target),
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
                const uint64_t size = posix::RegularFile::Open(entry.diskPath).Size();
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
