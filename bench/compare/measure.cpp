#include "bench/compare/measure.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace bench {

namespace {

std::string Tail(const std::filesystem::path& log) {
  std::ifstream in(log);
  std::ostringstream text;
  text << in.rdbuf();
  std::string all = text.str();
  while (!all.empty() && (all.back() == '\n' || all.back() == ' ')) all.pop_back();
  if (all.size() > 300) all = "..." + all.substr(all.size() - 300);
  return all;
}

}  // namespace

Sample Measure(const std::filesystem::path& launcher, const std::vector<std::string>& arguments,
               const std::filesystem::path& folder, const std::filesystem::path& work) {
  Sample sample;
  const std::filesystem::path result = work / "measure.result", log = work / "measure.log";
  std::filesystem::remove(result);
  std::vector<std::string> line = {launcher.string(), result.string(), folder.string(),
                                   log.string()};
  line.insert(line.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : line) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
  if (error != 0) {
    sample.failure = "cannot start " + line[0] + ": " + std::strerror(error);
    return sample;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  int code = -1;
  long peakKiB = 0;
  std::ifstream in(result);
  if (!(in >> code >> sample.wall >> sample.cpu >> peakKiB) || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    sample.failure = "the measurement itself failed";
    return sample;
  }
  sample.peakMiB = peakKiB / 1024.0;
  sample.ok = code == 0;
  if (!sample.ok) {
    sample.failure = (code > 128 ? "ended by signal " + std::to_string(code - 128)
                                 : "exit status " + std::to_string(code)) +
                     ": " + Tail(log);
  }
  return sample;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace bench
