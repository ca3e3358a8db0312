#include "tools/check/inspection.h"

namespace check {

std::string LowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Listed(const std::vector<std::string>& items, uint64_t count) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : "; ") + item;
  if (count > items.size()) text += "; and " + std::to_string(count - items.size()) + " more";
  return text;
}

void Problem(Report& report, std::string code, std::string section, std::string key,
             std::string message, std::string action, size_t line) {
  report.findings.push_back(Finding{Severity::kProblem, std::move(code), std::move(section),
                                    std::move(key), line, std::move(message), std::move(action)});
}

void Note(Report& report, std::string code, std::string section, std::string key,
          std::string message, std::string action) {
  report.findings.push_back(Finding{Severity::kNote, std::move(code), std::move(section),
                                    std::move(key), 0, std::move(message), std::move(action)});
}

}  // namespace check
