#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/archiver_call.h"
#include "platform/error.h"
#include "platform/interrupt.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/interrupt.h"
#include "platform/posix/io.h"

namespace platform {

namespace {

// The child's exit status when it had no parent left to report to.
constexpr int kOrphaned = 125;

[[noreturn]] void CannotCall(int error) {
  throw Error("Cannot start the archiver: " + SystemErrorText(error));
}

// How messages name the pipe the child reports through.
constexpr char kReport[] = "the archiver's report";

// The child: makes the call and reports "<result as 4 bytes><output text>".
[[noreturn]] void CallInChild(int report, pid_t parent, ArchiverEntryPoint entry, uint32_t window,
                              const std::string& commandLine, uint32_t outputSize) {
  RestoreDefaultInterrupts();
#ifdef __linux__
  prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
  // The parent may have died before the line above took effect.
  if (getppid() != parent) _exit(kOrphaned);
  std::vector<char> output(static_cast<size_t>(outputSize) + 1, ' ');
  output[outputSize] = '\0';
  const int32_t result = entry(window, commandLine.c_str(), output.data(), outputSize);
  char head[sizeof result];
  std::memcpy(head, &result, sizeof result);
  try {
    posix::WriteAll(report, kReport, head, sizeof head);
    posix::WriteAll(report, kReport, output.data(), std::strlen(output.data()));
  } catch (const Error&) {
    _exit(1);
  }
  _exit(0);
}

// Waits for the child to end, keeps the interrupt handler from killing it
// after that (its id could be taken again once it is collected), and
// collects it.
int WaitFor(pid_t child) {
  siginfo_t info;
  while (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
  }
  SetProcessToStop(0);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

ArchiverCall Outcome(const std::string& report, int status) {
  ArchiverCall call;
  int32_t result;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && report.size() >= sizeof result) {
    std::memcpy(&result, report.data(), sizeof result);
    call.returned = true;
    call.result = result;
    call.output = report.substr(sizeof result);
  } else if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    call.failure =
        std::string(signal == SIGKILL ? "the archiver was killed" : "the archiver crashed") +
        ": signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
  } else {
    call.failure = "the archiver ended without a result (exit status " +
                   std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
  }
  return call;
}

}  // namespace

ArchiverCall CallArchiver(ArchiverEntryPoint entry, uint32_t window, const std::string& commandLine,
                          uint32_t outputSize) {
  ThrowIfInterrupted();
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) CannotCall(errno);
  posix::Descriptor reading(ends[0]), writing(ends[1]);
  const pid_t parent = getpid();
  pid_t child;
  {
    // The handler must know the child from its first moment on.
    InterruptsHeld held;
    child = fork();
    if (child < 0) CannotCall(errno);
    if (child == 0) {
      // Its writes fail once this process is gone, instead of filling a
      // pipe that only the child itself could read.
      reading = posix::Descriptor();
      CallInChild(writing.get(), parent, entry, window, commandLine, outputSize);
    }
    SetProcessToStop(child);
  }
  // The report ends when the child, holding the only write end left, does.
  writing = posix::Descriptor();
  std::string report;
  try {
    report = posix::ReadToEnd(reading.get(), kReport);
  } catch (const Error&) {
    kill(child, SIGKILL);  // it may be waiting to write what nobody reads
    WaitFor(child);
    throw;
  }
  const int status = WaitFor(child);
  ThrowIfInterrupted();
  return Outcome(report, status);
}

}  // namespace platform
