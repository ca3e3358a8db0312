// A stand-in for both archiver libraries in tests: it exports Unlha and
// SevenZip and, steered by the environment:
//   FAKE_ARCHIVER_LOG      appends every command line it receives as one line
//                          to this file, before doing anything else;
//   FAKE_ARCHIVER_TEMPORARY_BYTES  writes a temporary file of this size under
//                          the program's temporary name in the archive's
//                          folder, as a library writes an archive, and
//                          removes it again before returning;
//   FAKE_ARCHIVER_DELAY_MS takes this long, with that file in place;
//   FAKE_ARCHIVER_CRASH    raises this signal (a crash) instead of returning;
//   FAKE_ARCHIVER_MESSAGE  the text left in the output area ("fake archiver");
//   FAKE_ARCHIVER_RESULT   the integer returned (0 when unset).
// Standard C++ and the platform layer only, so it builds as a DLL for Windows
// as well.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "platform/archiver_entry.h"
#include "platform/process.h"
#include "platform/temp_name.h"

namespace {

long Number(const char* name) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::atol(text) : 0;
}

// The folder of the archive: the first quoted path on the command line.
std::string ArchiveFolder(const std::string& commandLine) {
  const size_t open = commandLine.find('"');
  const size_t close = commandLine.find('"', open + 1);
  if (open == std::string::npos || close == std::string::npos) return ".";
  const std::string archive = commandLine.substr(open + 1, close - open - 1);
  const size_t slash = archive.find_last_of("/\\");
  return slash == std::string::npos ? "." : archive.substr(0, slash);
}

// A temporary file as a library leaves one behind when it is stopped.
class TemporaryFile {
 public:
  TemporaryFile(const std::string& folder, long bytes) {
    if (bytes <= 0) return;
    std::random_device random;
    const uint64_t draw = (static_cast<uint64_t>(random()) << 32) | random();
    path_ = folder + "/" + platform::TemporaryName(platform::CurrentProcessId(), draw);
    if (std::FILE* file = std::fopen(path_.c_str(), "wb")) {
      const std::string block(64 * 1024, 'x');
      for (long left = bytes; left > 0; left -= static_cast<long>(block.size())) {
        std::fwrite(block.data(), 1, std::min<size_t>(block.size(), left), file);
      }
      std::fclose(file);
    }
  }
  ~TemporaryFile() {
    if (!path_.empty()) std::remove(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

 private:
  std::string path_;
};

int Record(const char* commandLine, char* output, uint32_t outputSize) {
  if (const char* log = std::getenv("FAKE_ARCHIVER_LOG")) {
    if (std::FILE* file = std::fopen(log, "ab")) {
      std::fputs(commandLine, file);
      std::fputc('\n', file);
      std::fclose(file);
    }
  }
  {
    TemporaryFile temporary(ArchiveFolder(commandLine), Number("FAKE_ARCHIVER_TEMPORARY_BYTES"));
    std::this_thread::sleep_for(std::chrono::milliseconds(Number("FAKE_ARCHIVER_DELAY_MS")));
    if (const long crash = Number("FAKE_ARCHIVER_CRASH")) std::raise(static_cast<int>(crash));
  }
  if (output != nullptr && outputSize > 0) {
    const char* message = std::getenv("FAKE_ARCHIVER_MESSAGE");
    std::strncpy(output, message != nullptr ? message : "fake archiver", outputSize - 1);
    output[outputSize - 1] = '\0';
  }
  return static_cast<int>(Number("FAKE_ARCHIVER_RESULT"));
}

}  // namespace

ARCHIVER_EXPORT int ARCHIVER_CALL Unlha(uint32_t, const char* commandLine, char* output,
                                        uint32_t outputSize) {
  return Record(commandLine, output, outputSize);
}

ARCHIVER_EXPORT int ARCHIVER_CALL SevenZip(uint32_t, const char* commandLine, char* output,
                                           uint32_t outputSize) {
  return Record(commandLine, output, outputSize);
}
