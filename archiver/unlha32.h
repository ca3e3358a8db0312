// The archiver bridge: the command lines handed to the two archiver
// libraries (LHA through Unlha32, ZIP through 7-zip32) and the runner that
// calls their entry points and turns the result into success or failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archiver/archiver_runner.h"
#include "platform/archiver_entry.h"

namespace platform {
class DynamicLibrary;
}

namespace Unlha32 {

// A name's path in the save folder, as the command lines name an archive:
// the folder, the platform's separator, the name; nothing normalised.
std::string ArchivePath(const std::string& strSavePath, const std::string& strName);

// a  -r2 -x1 "<save><sep><name>" "<target>"
// The archive path is quoted, as in the ZIP line, so that a save folder or
// name with a blank reaches the archiver as one argument.
std::string LhaCommandLine(const std::string& strSavePath, const std::string& strName,
                           const std::string& strTarget);

// a "<save><sep><name>" "<target>"
std::string ZipCommandLine(const std::string& strSavePath, const std::string& strName,
                           const std::string& strTarget);

// The archiver libraries of one run. Each library is loaded at the first call
// of its entry point (or Load) and stays loaded as long as this object
// lives, so a run that never chooses a type never loads that type's library.
class Archivers : public ArchiverRunner {
 public:
  // The libraries as this program loads them.
  Archivers();
  // The libraries as a program installed in programFolder would load them.
  explicit Archivers(std::string programFolder);
  ~Archivers() override;
  Archivers(const Archivers&) = delete;
  Archivers& operator=(const Archivers&) = delete;

  void Load(Library library) override;
  // Hands the line to the entry point in the system's multibyte code page,
  // through platform::CallArchiver (on POSIX in a child process). A line
  // the code page cannot hold exactly is never handed on: Error.
  Result Run(Library library, const std::string& commandLine) override;

  Result RunUnlha(uint32_t window, const std::string& strCommandLine);
  Result RunSevenZip(uint32_t window, const std::string& strCommandLine);

 private:
  struct Loaded {
    std::unique_ptr<platform::DynamicLibrary> library;
    ArchiverEntryPoint entry = nullptr;
  };
  ArchiverEntryPoint EntryPoint(Library library);

  std::string programFolder_;
  Loaded unlha_;
  Loaded sevenZip_;
};

}  // namespace Unlha32
