// Peak memory of each of our writers with the number of cores forced to 1,
// 2, 8 and 64: however many cores a machine has, the rule for how many
// threads keeps memory within the writer's budget. Each writer packs the
// corpus in a process of its own (this program, run with SLOTBACKUP_CORES
// set, which only the thread seam of test and benchmark programs reads),
// measured as archiver_bench measures every archiver. Sizes and memory are
// the figures here: times on a machine with fewer cores than forced say
// little.
//
//   cores_bench CORPUS WORK [lha] [zip] [7z]
//   cores_bench --pack lh5|lh7|zip|7z ARCHIVE FOLDER   (one run)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archlib/entry.h"
#include "bench/compare/measure.h"
#include "lha/add.h"
#include "lha/command.h"
#include "sevenzip/add_command.h"

namespace fs = std::filesystem;

namespace {

int Pack(const std::string& method, const std::string& archive, const std::string& folder) {
  const std::string names = "\"" + archive + "\" \"" + folder + "\"";
  char area[512];
  int result;
  if (method == "lh5" || method == "lh7") {
    const std::string line = "a -r2 -x1 " + std::string(method == "lh7" ? "-o7 " : "") + names;
    result = archlib::RunCommand(area, sizeof area,
                                 [&] { return lha::AddToArchive(lha::ParseCommand(line)); });
  } else {
    result = archlib::RunCommand(area, sizeof area, [&] { return sevenzip::RunAdd("a " + names); });
  }
  if (result != 0) std::fprintf(stderr, "cores_bench: %s\n", area);
  return result == 0 ? 0 : 1;
}

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--pack") return Pack(argv[2], argv[3], argv[4]);
  if (argc < 3) {
    std::fprintf(stderr, "usage: cores_bench CORPUS WORK [lha] [zip] [7z]\n");
    return 2;
  }
  const fs::path corpus = fs::absolute(argv[1]).lexically_normal();
  const fs::path work = fs::absolute(argv[2]);
  const fs::path self = fs::canonical("/proc/self/exe");
  const fs::path launcher = self.parent_path() / "bench_launch";
  std::vector<std::string> writers;
  for (int i = 3; i < argc; ++i) {
    const std::string format = argv[i];
    if (format == "lha") {
      writers.insert(writers.end(), {"lh5", "lh7"});
    } else if (format == "zip" || format == "7z") {
      writers.push_back(format);
    }
  }
  if (argc == 3) writers = {"lh5", "lh7", "zip", "7z"};
  fs::create_directories(work);

  int failures = 0;
  std::printf("%-6s %6s %10s %10s %14s  %s\n", "writer", "cores", "peak MiB", "wall s", "bytes",
              "bytes as with 1 core");
  for (const std::string& writer : writers) {
    const std::string extension = writer == "zip" ? ".zip" : writer == "7z" ? ".7z" : ".lzh";
    std::string first;
    for (const char* cores : {"1", "2", "8", "64"}) {
      setenv("SLOTBACKUP_CORES", cores, 1);
      const fs::path archive = work / ("cores-" + writer + extension);
      fs::remove(archive);
      const bench::Sample sample = bench::Measure(
          launcher, {self.string(), "--pack", writer, archive.string(), corpus.string()}, work,
          work);
      if (!sample.ok) {
        std::printf("%-6s %6s  failed: %s\n", writer.c_str(), cores, sample.failure.c_str());
        ++failures;
        continue;
      }
      const std::string bytes = Bytes(archive);
      if (first.empty()) first = bytes;
      std::printf("%-6s %6s %10.1f %10.2f %14zu  %s\n", writer.c_str(), cores, sample.peakMiB,
                  sample.wall, bytes.size(), bytes == first ? "yes" : "no");
      std::fflush(stdout);
      fs::remove(archive);
    }
  }
  unsetenv("SLOTBACKUP_CORES");
  return failures == 0 ? 0 : 1;
}
