#include "bench/compare/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace bench {

namespace {

std::string Format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

const char* Colour(const std::string& format) {
  static const std::map<std::string, const char*> colours = {
      {"LHA", "#c0392b"}, {"ZIP", "#2471a3"}, {"7z", "#1e8449"}};
  const auto found = colours.find(format);
  return found == colours.end() ? "#555555" : found->second;
}

}  // namespace

std::string Grouped(uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string Table(const std::vector<Result>& results, uint64_t corpusBytes) {
  char line[256];
  std::snprintf(line, sizeof line, "%-6s %-12s %14s %7s %8s %8s %7s %9s\n", "format", "archiver",
                "bytes", "ratio", "wall s", "cpu s", "MB/s", "peak MiB");
  std::string out = line;
  for (const Result& r : results) {
    if (!r.failure.empty()) {
      std::snprintf(line, sizeof line, "%-6s %-12s %s\n", r.format.c_str(), r.name.c_str(),
                    ("not measured: " + r.failure).c_str());
    } else {
      std::snprintf(line, sizeof line, "%-6s %-12s %14s %7.3f %8.2f %8.2f %7.1f %9.1f\n",
                    r.format.c_str(), r.name.c_str(), Grouped(uint64_t(r.bytes)).c_str(),
                    r.bytes / double(corpusBytes), r.wall, r.cpu, corpusBytes / 1e6 / r.wall,
                    r.peakMiB);
    }
    out += line;
  }
  return out;
}

std::string Svg(const std::vector<Result>& results, uint64_t corpusBytes,
                const std::string& title) {
  constexpr double kWidth = 860, kHeight = 540, kLeft = 70, kRight = 190, kTop = 50, kBottom = 60;
  std::vector<const Result*> shown;
  for (const Result& r : results) {
    if (r.failure.empty() && r.wall > 0) shown.push_back(&r);
  }
  double fastest = 1, slowest = 10, largest = 0.5;
  if (!shown.empty()) {
    fastest = slowest = shown[0]->wall;
    for (const Result* r : shown) {
      fastest = std::min(fastest, r->wall);
      slowest = std::max(slowest, r->wall);
      largest = std::max(largest, r->bytes / double(corpusBytes));
    }
  }
  // Time on a logarithmic axis from a 1-2-5 step below the fastest to one
  // above the slowest; size from 0 to a tenth above the largest.
  static const double kSteps[] = {0.1, 0.2, 0.5, 1,   2,    5,    10,  20,
                                  50,  100, 200, 500, 1000, 2000, 5000};
  double low = kSteps[0], high = kSteps[std::size(kSteps) - 1];
  for (double step : kSteps) {
    if (step <= fastest * 0.9) low = step;
  }
  for (auto it = std::rbegin(kSteps); it != std::rend(kSteps); ++it) {
    if (*it >= slowest * 1.1) high = *it;
  }
  const double top = std::ceil(largest * 10 + 0.5) / 10;
  const double plotWidth = kWidth - kLeft - kRight, plotHeight = kHeight - kTop - kBottom;
  auto x = [&](double seconds) {
    return kLeft + plotWidth * (std::log(seconds / low) / std::log(high / low));
  };
  auto y = [&](double ratio) { return kTop + plotHeight * (1 - ratio / top); };

  std::string svg =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Format("%.0f", kWidth) +
      "\" height=\"" + Format("%.0f", kHeight) +
      "\" font-family=\"sans-serif\" font-size=\"12\">\n<rect width=\"100%\" height=\"100%\" "
      "fill=\"white\"/>\n<text x=\"" +
      Format("%.0f", kLeft) + "\" y=\"28\" font-size=\"15\">" + Escape(title) + "</text>\n";
  svg += "<rect x=\"" + Format("%.1f", kLeft) + "\" y=\"" + Format("%.1f", kTop) + "\" width=\"" +
         Format("%.1f", plotWidth) + "\" height=\"" + Format("%.1f", plotHeight) +
         "\" fill=\"none\" stroke=\"#888\"/>\n";
  for (double step : kSteps) {
    if (step < low || step > high) continue;
    const std::string at = Format("%.1f", x(step));
    svg += "<line x1=\"" + at + "\" y1=\"" + Format("%.1f", kTop) + "\" x2=\"" + at + "\" y2=\"" +
           Format("%.1f", kTop + plotHeight) + "\" stroke=\"#ddd\"/>\n<text x=\"" + at + "\" y=\"" +
           Format("%.1f", kTop + plotHeight + 18) + "\" text-anchor=\"middle\">" +
           Format(step < 1 ? "%.1f" : "%.0f", step) + "</text>\n";
  }
  for (int tenth = 0; tenth <= int(std::lround(top * 10)); ++tenth) {
    const std::string at = Format("%.1f", y(tenth / 10.0));
    svg += "<line x1=\"" + Format("%.1f", kLeft) + "\" y1=\"" + at + "\" x2=\"" +
           Format("%.1f", kLeft + plotWidth) + "\" y2=\"" + at +
           "\" stroke=\"#ddd\"/>\n<text x=\"" + Format("%.1f", kLeft - 8) + "\" y=\"" + at +
           "\" text-anchor=\"end\" dy=\"4\">" + Format("%.1f", tenth / 10.0) + "</text>\n";
  }
  svg += "<text x=\"" + Format("%.1f", kLeft + plotWidth / 2) + "\" y=\"" +
         Format("%.1f", kHeight - 14) +
         "\" text-anchor=\"middle\">wall time, seconds (logarithmic)</text>\n<text x=\"18\" y=\"" +
         Format("%.1f", kTop + plotHeight / 2) +
         "\" text-anchor=\"middle\" transform=\"rotate(-90 18 " +
         Format("%.1f", kTop + plotHeight / 2) + ")\">archive size / input size</text>\n";
  // Labels to the right of their points, moved down when they would cover
  // one placed before.
  std::vector<std::pair<double, double>> placed;
  for (const Result* r : shown) {
    const std::string cx = Format("%.1f", x(r->wall)),
                      cy = Format("%.1f", y(r->bytes / corpusBytes));
    double labelY = y(r->bytes / corpusBytes);
    for (bool moved = true; moved;) {
      moved = false;
      for (const auto& [px, py] : placed) {
        if (std::abs(px - x(r->wall)) < 130 && std::abs(py - labelY) < 13) {
          labelY = py + 13;
          moved = true;
        }
      }
    }
    placed.emplace_back(x(r->wall), labelY);
    svg += "<circle cx=\"" + cx + "\" cy=\"" + cy + "\" r=\"6\" stroke=\"" + Colour(r->format) +
           "\" stroke-width=\"2\" fill=\"" + (r->ours ? Colour(r->format) : "white") +
           "\"><title>" + Escape(r->format + " " + r->name) + "</title></circle>\n<text x=\"" +
           Format("%.1f", x(r->wall) + 9) + "\" y=\"" + Format("%.1f", labelY) +
           "\" dy=\"4\" fill=\"" + Colour(r->format) + "\">" + Escape(r->format + " " + r->name) +
           "</text>\n";
  }
  // The legend: a filled point is ours.
  double row = kTop + 10;
  for (const char* format : {"LHA", "ZIP", "7z"}) {
    svg += "<circle cx=\"" + Format("%.1f", kWidth - kRight + 30) + "\" cy=\"" +
           Format("%.1f", row) + "\" r=\"6\" fill=\"" + Colour(format) + "\"/>\n<text x=\"" +
           Format("%.1f", kWidth - kRight + 42) + "\" y=\"" + Format("%.1f", row + 4) + "\">" +
           format + "</text>\n";
    row += 20;
  }
  svg += "<text x=\"" + Format("%.1f", kWidth - kRight + 24) + "\" y=\"" + Format("%.1f", row + 4) +
         "\">filled: ours; open: others</text>\n</svg>\n";
  return svg;
}

}  // namespace bench
