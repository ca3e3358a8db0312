// The cost of the backup run around its archivers: one run of 10 slots over
// corpus folders (five with ZIP, five with LHA, in two runs of the program)
// against the same libraries called directly on the same folders. Prints
// the median of each and the run's overhead in percent.
//
//   run_bench CORPUS [REPETITIONS]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archiver/unlha32.h"
#include "platform/archiver_entry.h"
#include "platform/library.h"
#include "platform/program.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Folders of the benchmark corpus (bench/corpus): the first five go to ZIP,
// the others to LHA.
const char* const kFolders[] = {
    "Documents/Manuals", "Documents/logs", "Documents/仕事", "Projects/engine", "Projects/driver",
    "Projects/web app",  "Programs",       "Downloads",      "Pictures",        "Documents/Office"};
constexpr int kSlotsPerType = 5;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU seconds (user + system) used so far by this process or its children:
// steadier than wall time on a busy machine, and the libraries' threads count.
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Cost {
  double wall, cpu;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Clear(const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
}

// Calls the libraries' entry points with the run's command lines, in this
// process, without the run: the run's overhead then includes the child
// process each of its archiver calls runs in.
Cost Direct(const std::vector<fs::path>& targets, const fs::path& save) {
  const platform::DynamicLibrary sevenZip("7-zip32"), unlha("Unlha32");
  const auto zipEntry = reinterpret_cast<ArchiverEntryPoint>(sevenZip.Symbol("SevenZip"));
  const auto lhaEntry = reinterpret_cast<ArchiverEntryPoint>(unlha.Symbol("Unlha"));
  const auto start = Clock::now();
  const double cpu = CpuSeconds(RUSAGE_SELF);
  for (size_t i = 0; i < targets.size(); ++i) {
    const bool zip = i < kSlotsPerType;
    const std::string name = "slot" + std::to_string(i) + (zip ? ".zip" : ".lzh");
    const std::string line = zip ? Unlha32::ZipCommandLine(save, name, targets[i])
                                 : Unlha32::LhaCommandLine(save, name, targets[i]);
    std::string output(4096, ' ');
    const bool ok = (zip ? zipEntry : lhaEntry)(0, line.c_str(), output.data(), 4096) == 0;
    if (!ok) {
      std::fprintf(stderr, "archiver failed on %s\n", targets[i].c_str());
      std::exit(1);
    }
  }
  return {Seconds(start), CpuSeconds(RUSAGE_SELF) - cpu};
}

void WriteSettings(const fs::path& program, const fs::path& save, const char* type,
                   const std::vector<fs::path>& targets, size_t first) {
  std::ofstream ini(program / "slotbackup.ini", std::ios::binary | std::ios::trunc);
  ini << "[BackUP_Save]\r\nSavePath=" << save.string() << "\r\nArchiveType=" << type << "\r\n";
  std::string names;
  ini << "[BackUP_Target]\r\n";
  for (size_t i = first; i < first + kSlotsPerType; ++i) {
    char key[24];
    std::snprintf(key, sizeof key, "%04zu", i);
    ini << key << "=" << targets[i].string() << "\r\n";
    names += std::string(key) + "=slot" + std::to_string(i) + "_%D" +
             (first == 0 ? ".zip" : ".lzh") + "\r\n";
  }
  ini << "[BackUP_Name]\r\n" << names;
}

Cost ThroughTheRun(const std::vector<fs::path>& targets, const fs::path& program,
                   const fs::path& save) {
  const fs::path exe = program / "slotbackup";
  const auto start = Clock::now();
  const double cpu = CpuSeconds(RUSAGE_CHILDREN);
  for (size_t first : {size_t{0}, size_t{kSlotsPerType}}) {
    WriteSettings(program, save, first == 0 ? "ZIP" : "LHA", targets, first);
    const pid_t pid = fork();
    if (pid == 0) {
      char* const argv[] = {const_cast<char*>(exe.c_str()), nullptr};
      char* const envp[] = {nullptr};
      execve(exe.c_str(), argv, envp);
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "slotbackup failed (status %d)\n", status);
      std::exit(1);
    }
  }
  return {Seconds(start), CpuSeconds(RUSAGE_CHILDREN) - cpu};
}

void Report(const char* what, const std::vector<double>& direct, const std::vector<double>& run) {
  const double d = Median(direct), t = Median(run);
  std::printf("%s: direct %.3f s, through slotbackup %.3f s, run overhead %.2f %%\n", what, d, t,
              (t - d) / d * 100.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: run_bench CORPUS [REPETITIONS]\n");
    return 2;
  }
  const fs::path corpus = fs::absolute(argv[1]);
  const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
  std::vector<fs::path> targets;
  for (const char* folder : kFolders) targets.push_back(corpus / folder);

  const platform::ProgramPath self = platform::GetProgramPath();
  const fs::path work =
      fs::temp_directory_path() / ("slotbackup-run-bench-" + std::to_string(getpid()));
  const fs::path program = work / "program", save = work / "save";
  fs::create_directories(program);
  for (const char* file : {"slotbackup", "libUnlha32.so", "lib7-zip32.so"}) {
    fs::copy_file(fs::path(self.directory) / file, program / file);
  }
  // The runner loads libraries by name; ours are found beside this program.

  std::vector<double> directWall, directCpu, runWall, runCpu;
  for (int r = 0; r < repetitions; ++r) {
    // Alternate which goes first, so neither always meets a warmer cache.
    Cost d{}, t{};
    for (int turn = 0; turn < 2; ++turn) {
      Clear(save);
      if ((turn == 0) == (r % 2 == 0)) {
        d = Direct(targets, save);
      } else {
        t = ThroughTheRun(targets, program, save);
      }
    }
    directWall.push_back(d.wall);
    directCpu.push_back(d.cpu);
    runWall.push_back(t.wall);
    runCpu.push_back(t.cpu);
    std::printf("repetition %d: direct %.3f s wall %.3f s cpu, run %.3f s wall %.3f s cpu\n", r + 1,
                d.wall, d.cpu, t.wall, t.cpu);
  }
  fs::remove_all(work);
  std::printf("slots: %d ZIP + %d LHA over %s, medians of %d (goal: overhead under 2 %%)\n",
              kSlotsPerType, kSlotsPerType, corpus.c_str(), repetitions);
  Report("wall time", directWall, runWall);
  Report("cpu time ", directCpu, runCpu);
  return 0;
}
