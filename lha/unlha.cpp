// The library's entry point: runs one command line and reports through the
// result and the caller's output area.
#include "archlib/entry.h"
#include "lha/add.h"
#include "lha/command.h"
#include "platform/archiver_entry.h"

ARCHIVER_EXPORT int ARCHIVER_CALL Unlha(uint32_t /*window*/, const char* commandLine, char* output,
                                        uint32_t outputSize) {
  return archlib::RunCommand(output, outputSize, [&] {
    if (commandLine == nullptr) throw archlib::Failure("no command line");
    return lha::AddToArchive(lha::ParseCommand(commandLine));
  });
}
