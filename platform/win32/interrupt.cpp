// Windows gives a program without a console or window no notice before it
// is ended (Task Scheduler uses TerminateProcess), so there is nothing to
// handle: the next run's recovery restores a folder left cleared.
#include "platform/interrupt.h"

namespace platform {

Interrupted::Interrupted(int signal)
    : Error("Interrupted by signal " + std::to_string(signal)), signal_(signal) {}

void InstallInterruptHandlers() {}
void ArmFolderRestore(const std::string&) {}
void DisarmFolderRestore() {}
int PendingInterrupt() {
  return 0;
}
void ThrowIfInterrupted() {}

}  // namespace platform
