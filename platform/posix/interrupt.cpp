#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/codepage.h"
#include "platform/interrupt.h"
#include "platform/posix/interrupt.h"

namespace platform {

namespace {

constexpr int kInterrupts[] = {SIGTERM, SIGINT, SIGHUP};

// Everything the handler reads is prepared in normal context before it is
// armed; the handler itself only calls chmod and kill.
volatile sig_atomic_t g_signal = 0;
volatile sig_atomic_t g_armed = 0;
char g_folder[PATH_MAX];
mode_t g_mode = 0;
std::atomic<pid_t> g_process{0};
static_assert(std::atomic<pid_t>::is_always_lock_free);

void OnInterrupt(int signal) {
  const int savedErrno = errno;
  if (g_armed) chmod(g_folder, g_mode);
  const pid_t process = g_process.load();
  if (process > 0) kill(process, SIGKILL);
  if (g_signal == 0) g_signal = signal;
  errno = savedErrno;
}

sigset_t InterruptSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kInterrupts) sigaddset(&set, signal);
  return set;
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGTERM:
      return "SIGTERM";
    case SIGINT:
      return "SIGINT";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

}  // namespace

Interrupted::Interrupted(int signal)
    : Error(std::string("Interrupted by ") + SignalName(signal) + " (signal " +
            std::to_string(signal) + ")"),
      signal_(signal) {}

void InstallInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_mask = InterruptSet();  // one handler at a time
  // Calls in progress go on; the run checks the note after them.
  action.sa_flags = SA_RESTART;
  for (int signal : kInterrupts) sigaction(signal, &action, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, nullptr);
}

void ArmFolderRestore(const std::string& path) {
  DisarmFolderRestore();
  const std::string bytes = ToMultiByte(path);
  struct stat info;
  // A path too long to hold is left to the recovery record.
  if (bytes.size() >= sizeof g_folder || stat(bytes.c_str(), &info) != 0) return;
  std::memcpy(g_folder, bytes.c_str(), bytes.size() + 1);
  g_mode = info.st_mode & 07777;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  g_armed = 1;
}

void DisarmFolderRestore() {
  g_armed = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

int PendingInterrupt() {
  return g_signal;
}

void ThrowIfInterrupted() {
  if (const int signal = g_signal) throw Interrupted(signal);
}

void SetProcessToStop(pid_t process) {
  g_process.store(process);
}

InterruptsHeld::InterruptsHeld() {
  const sigset_t set = InterruptSet();
  sigprocmask(SIG_BLOCK, &set, nullptr);
}

void InterruptsHeld::Release() {
  if (!held_) return;
  held_ = false;
  const sigset_t set = InterruptSet();
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void RestoreDefaultInterrupts() {
  g_armed = 0;
  g_process.store(0);
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  for (int signal : kInterrupts) sigaction(signal, &action, nullptr);
  const sigset_t set = InterruptSet();
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace platform
