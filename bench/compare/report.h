// What the comparison prints and draws: one table of every archiver's
// medians, and the same as a picture of archive size against time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct Result {
  std::string format, name;
  bool ours = false;
  std::string failure;  // why there are no figures; empty when there are
  double bytes = 0, wall = 0, cpu = 0, peakMiB = 0;  // medians
};

// Columns: format, archiver, bytes, ratio, wall s, cpu s, MB/s, peak MiB.
std::string Table(const std::vector<Result>& results, uint64_t corpusBytes);

// An SVG picture: archive size (as a ratio of the input) against wall time
// on a logarithmic axis, one point per archiver that ran, ours filled.
std::string Svg(const std::vector<Result>& results, uint64_t corpusBytes, const std::string& title);

std::string Grouped(uint64_t n);

}  // namespace bench
