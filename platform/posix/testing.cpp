#include "platform/posix/testing.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/error.h"
#include "platform/posix/fault_injection.h"
#include "platform/temp_name.h"

namespace fs = std::filesystem;

namespace platform::posix::testing {

ScratchFolder::ScratchFolder() {
  std::string pattern = (fs::temp_directory_path() / "slotbackup-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> TemporaryFiles(const fs::path& folder) {
  std::vector<std::string> names = Names(folder);
  std::erase_if(names, [](const std::string& n) { return !TemporaryNameOwner(n).has_value(); });
  return names;
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  if (file.has_parent_path()) fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Noise(std::mt19937& random, size_t size) {
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random());
  return out;
}

std::string Words(std::mt19937& random, size_t size) {
  static const char* const kWords[] = {"slot ", "backup ", "folder\n", "archive ", "of ", "the "};
  std::string out;
  while (out.size() < size) out += kWords[random() % 6];
  out.resize(size);
  return out;
}

std::string FailureOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

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

std::string Output(const std::string& command) {
  std::string text;
  FILE* pipe = popen(("LC_ALL=C.UTF-8 " + command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  pclose(pipe);
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

size_t SweepFaults(const std::function<void()>& prepare, const std::function<bool()>& operation,
                   const std::function<void(const std::string& fault, bool failed)>& check,
                   size_t writePoints) {
  FaultInjector::Counts calls;
  prepare();
  {
    FaultInjector counter;
    if (!operation()) {
      ADD_FAILURE() << "the operation fails without any fault";
      return 0;
    }
    calls = counter.Seen();
  }
  if (calls.writes == 0) ADD_FAILURE() << "the operation writes nothing through the file layer";
  size_t injected = 0;
  // Runs the operation with a fault planned; checks it when `happened`
  // says the fault came about.
  auto run = [&](const std::string& fault, const std::function<void(FaultInjector&)>& plan,
                 const std::function<bool(const FaultInjector&)>& happened) {
    prepare();
    bool failed, came;
    {
      FaultInjector injector;
      plan(injector);
      failed = !operation();
      came = happened(injector);
    }
    if (!came) return;
    check(fault, failed);
    ++injected;
  };
  const auto always = [](const FaultInjector&) { return true; };
  const uint64_t points = std::min<uint64_t>(writePoints, calls.writes);
  for (uint64_t k = 0; k < points; ++k) {
    // The first and the last write, and evenly between.
    uint64_t call = points == 1 ? 1 : 1 + k * (calls.writes - 1) / (points - 1);
    const int error = k % 2 == 0 ? ENOSPC : EIO;
    const size_t bytes = k % 4 < 2 ? 0 : 1;
    // Writers on several threads may cut their output into fewer writes
    // than the run that counted them: a write planned past the end is moved
    // to the last write that run made, so that the fault still happens.
    for (int attempt = 0;; ++attempt) {
      uint64_t seen = 0;
      run(
          "write " + std::to_string(call) + " of " + std::to_string(calls.writes) + " (" +
              std::to_string(bytes) + " bytes, then " + std::strerror(error) + ")",
          [&](FaultInjector& f) { f.FailWrite(call, bytes, error); },
          [&](const FaultInjector& f) { return (seen = f.Seen().writes) >= call; });
      if (seen >= call) break;
      if (attempt == 4 || seen == 0) {
        ADD_FAILURE() << "write " << call << " was never reached: the operation made " << seen;
        break;
      }
      call = seen;
    }
  }
  for (uint64_t call = 1; call <= calls.fileSyncs; ++call) {
    run(
        "flush " + std::to_string(call) + " of " + std::to_string(calls.fileSyncs),
        [&](FaultInjector& f) { f.FailFileSync(call, EIO); }, always);
  }
  for (uint64_t call = 1; call <= calls.renames; ++call) {
    run(
        "rename " + std::to_string(call) + " of " + std::to_string(calls.renames),
        [&](FaultInjector& f) { f.FailRename(call, EXDEV); }, always);
  }
  return injected;
}

size_t ExpectFaultsLeaveFileWhole(const fs::path& file, const std::function<bool()>& operation,
                                  size_t writePoints) {
  const std::string before = ReadBytes(file);
  return SweepFaults([&] { WriteBytes(file, before); }, operation,
                     [&](const std::string& fault, bool failed) {
                       EXPECT_TRUE(failed) << fault << " was reported as success";
                       EXPECT_EQ(ReadBytes(file), before) << fault;
                       EXPECT_EQ(TemporaryFiles(file.parent_path()), std::vector<std::string>{})
                           << fault;
                     },
                     writePoints);
}

}  // namespace platform::posix::testing
