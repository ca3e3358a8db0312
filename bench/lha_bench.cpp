// The LHA library beside jlha on one folder, lh5 and lh7: archive bytes,
// and whole-process wall time, CPU time and peak memory, medians of several
// runs taken in turn (ours, jlha, ours, ...). Our runs include the read-back
// that checks every archive. With --memory it instead packs inputs made to
// strain memory (one large file, 100,000 tiny ones) and prints the peak;
// SLOTBACKUP_CORES=64 forces the number of cores the writer plans for.
// With --same-data it says whether two of our archives (the library's on
// two systems) hold the same members with the same data, whatever their
// headers say of names and systems.
//   lha_bench CORPUS_FOLDER [RUNS]
//   lha_bench --memory SCRATCH_FOLDER
//   lha_bench --same-data ARCHIVE ARCHIVE
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "archlib/entry.h"
#include "archlib/little_endian.h"
#include "lha/add.h"
#include "lha/archive_reader.h"
#include "lha/command.h"
#include "platform/input_file.h"

namespace fs = std::filesystem;

namespace {

const char* const kJlhaJar = "/usr/share/java/jlhafrontend.jar";

struct Run {
  bool ok = false;
  double wall = 0, cpu = 0, peakMiB = 0;
  uint64_t bytes = 0;
};

// Runs argv in `folder` as a process of its own and measures it.
Run Measure(const std::vector<std::string>& argv, const fs::path& folder, const fs::path& archive) {
  fs::remove(archive);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::fflush(stdout);  // or the child would print it again
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    // What the programs print is not what is measured.
    if (!freopen("/dev/null", "w", stdout)) _exit(127);
    execvp(args[0], args.data());
    _exit(127);
  }
  Run run;
  if (pid < 0) return run;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
            usage.ru_stime.tv_usec / 1e6;
  run.peakMiB = usage.ru_maxrss / 1024.0;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && fs::exists(archive);
  if (run.ok) run.bytes = fs::file_size(archive);
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Row {
  std::string label;
  std::vector<Run> runs;
  bool ok() const {
    return !runs.empty() &&
           std::all_of(runs.begin(), runs.end(), [](const Run& r) { return r.ok; });
  }
  double Median(double Run::*field) const {
    std::vector<double> v;
    for (const Run& r : runs) v.push_back(r.*field);
    return ::Median(v);
  }
};

std::string Thousands(uint64_t n) {
  std::string s = std::to_string(n);
  for (int i = static_cast<int>(s.size()) - 3; i > 0; i -= 3) s.insert(static_cast<size_t>(i), ",");
  return s;
}

void Print(const Row& row) {
  if (!row.ok()) {
    std::printf("| %-8s | failed |\n", row.label.c_str());
    return;
  }
  std::printf("| %-8s | %12s | %6.2f | %6.2f | %8.1f |\n", row.label.c_str(),
              Thousands(row.runs[0].bytes).c_str(), row.Median(&Run::wall), row.Median(&Run::cpu),
              row.Median(&Run::peakMiB));
}

// The child's side of a measured run of ours: one call, as the library's
// entry point makes it.
int Pack(const std::string& switches, const std::string& archive, const std::string& folder) {
  std::setlocale(LC_ALL, "");
  const std::string line = "a -r2 -x1 " + switches + " \"" + archive + "\" \"" + folder + "\"";
  char output[512];
  const int result = archlib::RunCommand(
      output, sizeof output, [&] { return lha::AddToArchive(lha::ParseCommand(line)); });
  if (result != 0) std::fprintf(stderr, "%s\n", output);
  return result == 0 ? 0 : 1;
}

int Compare(const fs::path& corpus, int runs) {
  uint64_t bytes = 0, files = 0, folders = 0;
  for (const auto& e : fs::recursive_directory_iterator(corpus)) {
    if (e.is_symlink()) continue;
    if (e.is_regular_file()) {
      ++files;
      bytes += e.file_size();
    } else if (e.is_directory()) {
      ++folders;
    }
  }
  const bool jlha = fs::exists(kJlhaJar) && std::system("command -v java >/dev/null 2>&1") == 0;
  std::printf("corpus %s: %.1f MB, %s files, %s folders; medians of %d runs%s\n\n",
              corpus.filename().c_str(), bytes / 1e6, Thousands(files).c_str(),
              Thousands(folders).c_str(), runs,
              jlha ? "" : " (jlha not installed: apt-get install jlha-utils)");
  std::printf("|          |        bytes | wall s |  cpu s | peak MiB |\n");
  std::printf("|---|---|---|---|---|\n");
  const fs::path work = fs::temp_directory_path() / ("lha-bench-" + std::to_string(getpid()));
  fs::create_directories(work);
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const std::string name = corpus.filename().string();
  std::vector<Row> rows;
  for (const char* method : {"5", "7"}) {
    Row ours{std::string("ours lh") + method, {}}, theirs{std::string("jlha lh") + method, {}};
    const fs::path ourArchive = work / "ours.lzh", theirArchive = work / "jlha.lzh";
    for (int i = 0; i < runs; ++i) {
      ours.runs.push_back(Measure(
          {self, "--pack", std::string("-o") + method, ourArchive.string(), corpus.string()},
          corpus.parent_path(), ourArchive));
      if (jlha) {
        // jlha stores paths as given: pack the folder by its name, from its parent.
        theirs.runs.push_back(
            Measure({"java", "-Dlha.encoding=Windows-31J", "-jar", kJlhaJar,
                     std::string("c2o") + method + "q", theirArchive.string(), name},
                    corpus.parent_path(), theirArchive));
      }
    }
    Print(ours);
    if (jlha) Print(theirs);
    rows.push_back(ours);
    rows.push_back(theirs);
  }
  std::printf("\n");
  for (size_t i = 0; jlha && i + 1 < rows.size(); i += 2) {
    if (!rows[i].ok() || !rows[i + 1].ok()) continue;
    const double byteDiff =
        static_cast<double>(rows[i].runs[0].bytes) - static_cast<double>(rows[i + 1].runs[0].bytes);
    std::printf("%s / jlha: bytes %+.0f (%+.3f%%), wall %.3f, cpu %.3f\n", rows[i].label.c_str(),
                byteDiff, 100 * byteDiff / static_cast<double>(rows[i + 1].runs[0].bytes),
                rows[i].Median(&Run::wall) / rows[i + 1].Median(&Run::wall),
                rows[i].Median(&Run::cpu) / rows[i + 1].Median(&Run::cpu));
  }
  fs::remove_all(work);
  return 0;
}

// Inputs that would take memory from a writer that held too much: one file
// larger than any budget, and a great many tiny files.
int Memory(const fs::path& scratch) {
  const fs::path large = scratch / "one large file", tiny = scratch / "100000 tiny files";
  if (!fs::exists(large)) {
    fs::create_directories(large);
    std::ofstream out(large / "large.txt", std::ios::binary);
    std::mt19937 rng(1);
    static const char* words[] = {"slot ", "backup ", "folder\n", "archive ", "of ", "the "};
    std::string block;
    for (int i = 0; i < (1 << 20); ++i) block += words[rng() % 6];
    for (uint64_t written = 0; written < (uint64_t{1} << 30); written += block.size()) {
      block[rng() % block.size()] = static_cast<char>('a' + rng() % 26);
      out << block;
    }
  }
  if (!fs::exists(tiny)) {
    for (int i = 0; i < 100000; ++i) {
      const fs::path dir = tiny / ("d" + std::to_string(i / 1000));
      if (i % 1000 == 0) fs::create_directories(dir);
      std::ofstream(dir / ("file number " + std::to_string(i) + ".txt")) << "tiny " << i << "\n";
    }
  }
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const fs::path archive = scratch / "memory.lzh";
  std::printf(
      "|                   | switch | wall s |  cpu s | peak MiB |\n|---|---|---|---|---|\n");
  for (const fs::path& input : {large, tiny}) {
    for (const char* method : {"-o5", "-o7"}) {
      Run run =
          Measure({self, "--pack", method, archive.string(), input.string()}, scratch, archive);
      std::printf("| %-17s | %-6s | %6.2f | %6.2f | %8.1f |%s\n", input.filename().c_str(), method,
                  run.wall, run.cpu, run.peakMiB, run.ok ? "" : " failed");
    }
  }
  fs::remove(archive);
  return 0;
}

// A member's data: what follows its level-2 header, whose first field is
// its size.
std::string MemberData(const platform::InputFile& file, const lha::StoredMember& m) {
  uint8_t size[2];
  file.File().ReadAt(m.offset, size, 2);
  const uint64_t header = archlib::Get16(size);
  std::string data(m.size - header, '\0');
  file.File().ReadAt(m.offset + header, data.data(), data.size());
  return data;
}

int SameData(const std::string& first, const std::string& second) {
  const platform::InputFile a = platform::InputFile::Open(first);
  const platform::InputFile b = platform::InputFile::Open(second);
  const auto as = lha::ListMembers(a.File(), a.Size(), first);
  const auto bs = lha::ListMembers(b.File(), b.Size(), second);
  if (as.size() != bs.size()) {
    std::printf("different: %zu and %zu members\n", as.size(), bs.size());
    return 1;
  }
  for (size_t i = 0; i < as.size(); ++i) {
    if (as[i].method != bs[i].method || as[i].originalSize != bs[i].originalSize ||
        as[i].crc != bs[i].crc || MemberData(a, as[i]) != MemberData(b, bs[i])) {
      std::printf("different: member %zu (%s)\n", i + 1, as[i].path.c_str());
      return 1;
    }
  }
  std::printf("same data: %zu members\n", as.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--same-data") {
    try {
      return SameData(argv[2], argv[3]);
    } catch (const platform::Error& failure) {
      std::fprintf(stderr, "%s\n", failure.what());
      return 2;
    }
  }
  if (argc == 5 && std::string(argv[1]) == "--pack") return Pack(argv[2], argv[3], argv[4]);
  if (argc == 3 && std::string(argv[1]) == "--memory") return Memory(fs::absolute(argv[2]));
  if (argc < 2 || argc > 3 || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: %s CORPUS_FOLDER [RUNS]\n       %s --memory SCRATCH_FOLDER\n"
                 "       %s --same-data ARCHIVE ARCHIVE\n",
                 argv[0], argv[0], argv[0]);
    return 2;
  }
  const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 3;
  fs::path corpus = fs::absolute(argv[1]).lexically_normal();
  if (corpus.filename().empty()) corpus = corpus.parent_path();  // given with a trailing '/'
  return Compare(corpus, runs);
}
