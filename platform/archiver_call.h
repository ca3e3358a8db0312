// Calling an archiver library's entry point so that whatever happens inside
// the library ends as a result the run can record.
//
// On POSIX the call is made in a child process forked from this one (the
// library is already loaded; nothing is executed anew), which hands back the
// result and the output area through a pipe. A crash inside the library is
// then a failed call with its reason; an interrupt signal stops the child at
// once (platform/interrupt.h); no library thread outlives the call; and on
// Linux the child is killed when the run dies. The child's temporary files
// carry its process id, which has ended once the call returns.
//
// On Windows the entry point is called in this process.
#pragma once

#include <cstdint>
#include <string>

#include "platform/archiver_entry.h"

namespace platform {

struct ArchiverCall {
  bool returned = false;  // the entry point returned: result and output are its own
  int result = -1;
  std::string output;   // the output area up to its first NUL, in the system's code page
  std::string failure;  // when it did not return: what happened instead
};

// Calls entry(window, commandLine, area, outputSize) with an area of
// outputSize bytes (blanks, NUL-terminated). commandLine is in the system's
// code page. Throws Interrupted when an interrupt signal arrived during the
// call (the child is stopped and gone), Error when the call cannot be made
// or its report cannot be read (the child is then stopped and gone too).
ArchiverCall CallArchiver(ArchiverEntryPoint entry, uint32_t window, const std::string& commandLine,
                          uint32_t outputSize);

}  // namespace platform
