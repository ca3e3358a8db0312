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
#include "platform/interrupt_posix.h"

namespace platform {

namespace {

// The child's exit status when it had no parent left to report to.
constexpr int kOrphaned = 125;

[[noreturn]] void CannotCall(int error) {
  throw Error("Cannot start the archiver: " + SystemErrorText(error));
}

class Pipe {
 public:
  Pipe() {
    if (pipe2(fds_, O_CLOEXEC) != 0) CannotCall(errno);
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  int Read() const { return fds_[0]; }
  int Write() const { return fds_[1]; }
  void CloseRead() { Close(fds_[0]); }
  void CloseWrite() { Close(fds_[1]); }

 private:
  static void Close(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  int fds_[2] = {-1, -1};
};

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

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
  const bool reported = WriteAll(report, head, sizeof head) &&
                        WriteAll(report, output.data(), std::strlen(output.data()));
  _exit(reported ? 0 : 1);
}

std::string ReadToEnd(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return text;
    text.append(buffer, static_cast<size_t>(n));
  }
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
  Pipe pipe;
  const pid_t parent = getpid();
  pid_t child;
  {
    // The handler must know the child from its first moment on.
    InterruptsHeld held;
    child = fork();
    if (child < 0) CannotCall(errno);
    if (child == 0) {
      pipe.CloseRead();
      CallInChild(pipe.Write(), parent, entry, window, commandLine, outputSize);
    }
    SetProcessToStop(child);
  }
  pipe.CloseWrite();
  const std::string report = ReadToEnd(pipe.Read());
  const int status = WaitFor(child);
  ThrowIfInterrupted();
  return Outcome(report, status);
}

}  // namespace platform
