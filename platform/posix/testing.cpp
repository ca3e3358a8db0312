#include "platform/posix/testing.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

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
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

int AsAnotherUser(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(125);
    }
    _exit(body());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
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
  auto run = [&](const std::string& fault, const std::function<void(FaultInjector&)>& plan) {
    prepare();
    bool failed;
    {
      FaultInjector injector;
      plan(injector);
      failed = !operation();
    }
    check(fault, failed);
    ++injected;
  };
  const uint64_t points = std::min<uint64_t>(writePoints, calls.writes);
  for (uint64_t k = 0; k < points; ++k) {
    // The first and the last write, and evenly between.
    const uint64_t call = points == 1 ? 1 : 1 + k * (calls.writes - 1) / (points - 1);
    const int error = k % 2 == 0 ? ENOSPC : EIO;
    const size_t bytes = k % 4 < 2 ? 0 : 1;
    run("write " + std::to_string(call) + " of " + std::to_string(calls.writes) + " (" +
            std::to_string(bytes) + " bytes, then " + std::strerror(error) + ")",
        [&](FaultInjector& f) { f.FailWrite(call, bytes, error); });
  }
  for (uint64_t call = 1; call <= calls.fileSyncs; ++call) {
    run("flush " + std::to_string(call) + " of " + std::to_string(calls.fileSyncs),
        [&](FaultInjector& f) { f.FailFileSync(call, EIO); });
  }
  for (uint64_t call = 1; call <= calls.renames; ++call) {
    run("rename " + std::to_string(call) + " of " + std::to_string(calls.renames),
        [&](FaultInjector& f) { f.FailRename(call, EXDEV); });
  }
  return injected;
}

}  // namespace platform::posix::testing
