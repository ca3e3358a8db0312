// What the run hands its command lines to: the archiver libraries
// (Unlha32::Archivers) or, in tests, an in-process stand-in that records the
// lines and returns chosen results. slotbackup-check loads the libraries
// through it, without calling them, to tell whether the run can.
#pragma once

#include <string>

namespace Unlha32 {

enum class Library {
  kUnlha,     // Unlha32: LHA, entry point Unlha
  kSevenZip,  // 7-zip32: ZIP and 7z, entry point SevenZip
};

// "Unlha32" or "7-zip32": the name the platform adds its prefix and suffix to.
const char* LibraryName(Library library);

// What an archiver run came to: success, and the library's one-line message
// (its output area with line breaks, tabs and runs of blanks made single
// blanks, trimmed), or why there is none ("the archiver crashed: ...").
struct Result {
  bool succeeded = false;
  std::string message;
};

class ArchiverRunner {
 public:
  virtual ~ArchiverRunner() = default;

  // Loads the library and finds its entry point, without calling it. Throws
  // platform::Error with the loader's reason when either fails.
  virtual void Load(Library library) = 0;

  // Loads the library as Load does (throwing the same way), then hands it
  // commandLine (UTF-8). Succeeded when the archiver returns 0. Throws
  // platform::Error when the call cannot be made, platform::Interrupted
  // when a signal stopped it.
  virtual Result Run(Library library, const std::string& commandLine) = 0;
};

}  // namespace Unlha32
