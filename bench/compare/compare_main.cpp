// Packs the benchmark corpus with our archivers and with the usual tools for
// each format, several times each in turns, and prints one table of medians:
// bytes, ratio, wall and CPU time, throughput and peak memory. Also writes
// the comparison as an SVG picture of size against time.
//
//   archiver_bench CORPUS WORK [--runs N] [--svg FILE] [lha] [zip] [7z]
//
// WORK receives the archives (one at a time) and the programs' output.
// Progress goes to standard error; the table to standard output.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/compare/contenders.h"
#include "bench/compare/measure.h"
#include "bench/compare/report.h"

namespace fs = std::filesystem;

namespace {

std::string Machine() {
  std::string cpu = "unknown CPU";
  double memoryGiB = 0;
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) == 0) {
      cpu = line.substr(line.find(':') + 2);
      break;
    }
  }
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  long kib = 0;
  if (meminfo >> key >> kib && key == "MemTotal:") memoryGiB = kib / 1048576.0;
  char text[256];
  std::snprintf(text, sizeof text, "%u cores, %.1f GiB, %s", std::thread::hardware_concurrency(),
                memoryGiB, cpu.c_str());
  return text;
}

int Usage() {
  std::fprintf(stderr,
               "usage: archiver_bench CORPUS WORK [--runs N] [--svg FILE] [lha] [zip] [7z]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const fs::path corpus = fs::absolute(argv[1]).lexically_normal();
  const fs::path work = fs::absolute(argv[2]);
  int runs = 3;
  fs::path svg;
  std::vector<std::string> formats;
  for (int i = 3; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (argument == "--svg" && i + 1 < argc) {
      svg = argv[++i];
    } else if (argument == "lha" || argument == "zip" || argument == "7z") {
      formats.push_back(argument);
    } else {
      return Usage();
    }
  }
  uint64_t bytes = 0, files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
    if (entry.is_regular_file() && !entry.is_symlink()) {
      bytes += entry.file_size();
      ++files;
    }
  }
  if (files == 0) {
    std::fprintf(stderr, "archiver_bench: no files in %s\n", corpus.c_str());
    return 1;
  }
  fs::create_directories(work);
  const fs::path self = fs::canonical("/proc/self/exe").parent_path();
  const fs::path launcher = self / "bench_launch";
  const std::vector<bench::Contender> contenders = bench::Contenders(self.string(), formats);

  std::vector<bench::Result> results(contenders.size());
  std::vector<std::vector<double>> walls(contenders.size()), cpus(contenders.size()),
      peaks(contenders.size()), sizes(contenders.size());
  for (size_t c = 0; c < contenders.size(); ++c) {
    results[c].format = contenders[c].format;
    results[c].name = contenders[c].name;
    results[c].ours = contenders[c].ours;
    results[c].failure = bench::Missing(contenders[c]);
  }
  // In turns, so that a busy moment of the machine does not fall on one
  // archiver's runs only.
  for (int run = 1; run <= runs; ++run) {
    for (size_t c = 0; c < contenders.size(); ++c) {
      if (!results[c].failure.empty()) continue;
      const fs::path archive = work / ("bench" + contenders[c].extension);
      fs::remove(archive);
      const bench::Sample sample = bench::Measure(
          launcher, bench::CommandFor(contenders[c], archive.string(), corpus.filename().string()),
          corpus.parent_path(), work);
      std::error_code error;
      const auto size = fs::file_size(archive, error);
      if (!sample.ok || error) {
        results[c].failure = sample.ok ? "no archive written" : sample.failure;
      } else {
        walls[c].push_back(sample.wall);
        cpus[c].push_back(sample.cpu);
        peaks[c].push_back(sample.peakMiB);
        sizes[c].push_back(double(size));
      }
      fs::remove(archive);
      char wall[32];
      std::snprintf(wall, sizeof wall, "%.2f s", sample.wall);
      std::fprintf(stderr, "run %d of %d: %-4s %-12s %s\n", run, runs, contenders[c].format.c_str(),
                   contenders[c].name.c_str(),
                   results[c].failure.empty() ? wall : results[c].failure.c_str());
    }
  }
  for (size_t c = 0; c < contenders.size(); ++c) {
    if (!results[c].failure.empty()) continue;
    results[c].wall = bench::Median(walls[c]);
    results[c].cpu = bench::Median(cpus[c]);
    results[c].peakMiB = bench::Median(peaks[c]);
    results[c].bytes = bench::Median(sizes[c]);
  }

  std::printf("corpus: %s, %s bytes in %s files\nmachine: %s\nmedians of %d runs\n\n",
              corpus.c_str(), bench::Grouped(bytes).c_str(), bench::Grouped(files).c_str(),
              Machine().c_str(), runs);
  std::printf("%s", bench::Table(results, bytes).c_str());
  if (!svg.empty()) {
    char title[160];
    std::snprintf(title, sizeof title,
                  "Archive size against time: %.1f MB in %s files, medians of %d runs", bytes / 1e6,
                  bench::Grouped(files).c_str(), runs);
    std::ofstream(svg, std::ios::trunc) << bench::Svg(results, bytes, title);
    std::printf("\npicture: %s\n", fs::absolute(svg).c_str());
  }
  for (const bench::Result& r : results) {
    if (!r.failure.empty() && r.ours) return 1;
  }
  return 0;
}
