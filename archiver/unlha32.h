// The archiver bridge: the command lines handed to the two archiver
// libraries (LHA through Unlha32, ZIP through 7-zip32) and the runners that
// call their entry points and turn the result into success or failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/archiver_entry.h"

namespace platform {
class DynamicLibrary;
}

namespace Unlha32 {

// a  -r2 -x1 "<save><sep><name>" "<target>"
// The archive path is quoted, as in the ZIP line, so that a save folder or
// name with a blank reaches the archiver as one argument.
std::string LhaCommandLine(const std::string& strSavePath, const std::string& strName,
                           const std::string& strTarget);

// a "<save><sep><name>" "<target>"
std::string ZipCommandLine(const std::string& strSavePath, const std::string& strName,
                           const std::string& strTarget);

// What an archiver run came to: success, and the library's one-line message
// (its output area with line breaks, tabs and runs of blanks made single
// blanks, trimmed), or why there is none ("the archiver crashed: ...").
struct Result {
  bool succeeded = false;
  std::string message;
};

// The archiver libraries of one run. Each library is loaded at the first call
// of its entry point and stays loaded as long as this object lives, so a run
// that never chooses a type never loads that type's library.
class Archivers {
 public:
  Archivers();
  ~Archivers();
  Archivers(const Archivers&) = delete;
  Archivers& operator=(const Archivers&) = delete;

  // Hand strCommandLine (UTF-8) to Unlha / SevenZip in the system's multibyte
  // code page, through platform::CallArchiver (on POSIX in a child process).
  // Succeeded when the archiver returns 0. Throws platform::Error when the
  // library or its entry point cannot be loaded or the call cannot be made,
  // platform::Interrupted when a signal stopped it.
  Result RunUnlha(uint32_t window, const std::string& strCommandLine);
  Result RunSevenZip(uint32_t window, const std::string& strCommandLine);

 private:
  struct Loaded {
    std::unique_ptr<platform::DynamicLibrary> library;
    ArchiverEntryPoint entry = nullptr;
  };
  static ArchiverEntryPoint EntryPoint(Loaded& loaded, const char* library, const char* symbol);

  Loaded unlha_;
  Loaded sevenZip_;
};

}  // namespace Unlha32
