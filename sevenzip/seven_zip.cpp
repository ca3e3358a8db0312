// The library's entry point: runs one command line and reports through the
// result (0 for success) and a one-line message in the caller's area.
#include "archlib/entry.h"
#include "platform/archiver_entry.h"
#include "sevenzip/add_command.h"

ARCHIVER_EXPORT int ARCHIVER_CALL SevenZip(uint32_t, const char* commandLine, char* output,
                                           uint32_t outputSize) {
  return archlib::RunCommand(output, outputSize, [&] {
    if (commandLine == nullptr) throw archlib::Failure("no command line");
    return sevenzip::RunAdd(commandLine);
  });
}
