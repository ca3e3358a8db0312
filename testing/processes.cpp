#include "testing/processes.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace test_support {

std::string InChild(const std::function<std::string()>& body, std::chrono::seconds bound) {
  int channel[2];
  if (pipe(channel) != 0) return "pipe";
  const pid_t child = fork();
  if (child == 0) {
    const std::string report = body();
    _exit(write(channel[1], report.data(), report.size()) < 0);
  }
  close(channel[1]);
  const auto end = std::chrono::steady_clock::now() + bound;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      close(channel[0]);
      return "blocked";
    }
    usleep(10000);
  }
  std::string report;
  char buffer[4096];
  ssize_t n;
  while ((n = read(channel[0], buffer, sizeof buffer)) > 0) report.append(buffer, n);
  close(channel[0]);
  return report;
}

bool Installed(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

int Shell(const std::string& command, std::string* output) {
  std::string text;
  FILE* pipe = popen(("LC_ALL=C.UTF-8 " + command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  const int status = pclose(pipe);
  if (output != nullptr) *output = std::move(text);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Output(const std::string& command) {
  std::string text;
  Shell(command, &text);
  return text;
}

namespace {

// In a child: gives up root for uid and gid 65534; false when it cannot.
bool GiveUpRoot() {
  return geteuid() != 0 || (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0);
}

}  // namespace

int AsAnotherUser(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (!GiveUpRoot()) _exit(125);
    _exit(body());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string InChildAsAnotherUser(const std::function<std::string()>& body) {
  return InChild([&] { return GiveUpRoot() ? body() : std::string("no ordinary user"); });
}

}  // namespace test_support
