// A stand-in for both archiver libraries in tests: it exports Unlha and
// SevenZip, appends every command line it receives as one line to the file
// named by FAKE_ARCHIVER_LOG (when set) and returns the integer in
// FAKE_ARCHIVER_RESULT (0 when unset). Standard C++ only, so it builds as a
// DLL for Windows as well.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/archiver_entry.h"

namespace {

int Record(const char* commandLine, char* output, uint32_t outputSize) {
  if (const char* log = std::getenv("FAKE_ARCHIVER_LOG")) {
    if (std::FILE* file = std::fopen(log, "ab")) {
      std::fputs(commandLine, file);
      std::fputc('\n', file);
      std::fclose(file);
    }
  }
  if (output != nullptr && outputSize > 0) {
    std::strncpy(output, "fake archiver", outputSize - 1);
    output[outputSize - 1] = '\0';
  }
  const char* result = std::getenv("FAKE_ARCHIVER_RESULT");
  return result != nullptr ? std::atoi(result) : 0;
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
