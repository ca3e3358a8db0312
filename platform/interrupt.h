// Stopping a run from outside. On POSIX, SIGTERM, SIGINT and SIGHUP (what
// `systemctl stop`, a shutdown, Ctrl-C and a closed terminal send) are caught
// by a handler that does only what is safe inside one: it gives the armed
// folder back the permissions it had before the slot cleared them, kills the
// archiver process that is running, and notes the signal. The run sees the
// note at its next check (after the archiver process ends, between slots,
// while copying) and leaves through its error path.
//
// Windows has nothing of the kind to intercept: Task Scheduler ends a task
// with TerminateProcess. There every function here does nothing and the next
// run's recovery restores what was left.
#pragma once

#include <string>

#include "platform/error.h"

namespace platform {

// What a check throws once an interrupt signal has arrived.
class Interrupted : public Error {
 public:
  explicit Interrupted(int signal);
  int Signal() const { return signal_; }

 private:
  int signal_;
};

// Installs the handlers, once, before anything is changed. Writing to a pipe
// nobody reads (standard error, for one) then fails instead of ending the
// program.
void InstallInterruptHandlers();

// Notes path, a folder whose attributes are about to be cleared, with the
// state it has now, so that the handler can give that state back. Call
// before clearing; DisarmFolderRestore() once the folder is restored.
void ArmFolderRestore(const std::string& path);
void DisarmFolderRestore();

// The signal that arrived, or 0.
int PendingInterrupt();

// Throws Interrupted when a signal has arrived.
void ThrowIfInterrupted();

}  // namespace platform
