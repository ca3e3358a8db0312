// Runs a program once and measures it: wall time, CPU time of it and its
// threads, and its peak resident memory. The program is started by
// bench_launch, a small process of its own, because a process keeps the
// peak memory of whatever it replaced itself from.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct Sample {
  bool ok = false;
  double wall = 0, cpu = 0;  // seconds
  double peakMiB = 0;
  std::string failure;  // the exit status and the end of the program's output
};

// arguments[0] is the program (found on PATH); it runs in folder with its
// output in work/<log>. launcher is the bench_launch program.
Sample Measure(const std::filesystem::path& launcher, const std::vector<std::string>& arguments,
               const std::filesystem::path& folder, const std::filesystem::path& work);

// The median; of an even count, the mean of the middle two.
double Median(std::vector<double> values);

}  // namespace bench
