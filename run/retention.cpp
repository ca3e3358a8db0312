#include "run/retention.h"

#include <algorithm>

namespace AppModule {

namespace {

constexpr std::string_view kStampMark = "%D";
constexpr size_t kStampDigits = 14;

int Number(std::string_view digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysIn(int month, int year) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsDateTime(std::string_view stamp) {
  if (stamp.size() != kStampDigits) return false;
  for (char c : stamp) {
    if (c < '0' || c > '9') return false;
  }
  const int year = Number(stamp.substr(0, 4)), month = Number(stamp.substr(4, 2)),
            day = Number(stamp.substr(6, 2)), hour = Number(stamp.substr(8, 2)),
            minute = Number(stamp.substr(10, 2)), second = Number(stamp.substr(12, 2));
  return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= DaysIn(month, year) &&
         hour < 24 && minute < 60 && second < 60;
}

}  // namespace

std::optional<std::string> StampIn(std::string_view name, std::string_view fileTemplate) {
  const size_t at = fileTemplate.find(kStampMark);
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view before = fileTemplate.substr(0, at);
  const std::string_view after = fileTemplate.substr(at + kStampMark.size());
  if (name.size() != before.size() + kStampDigits + after.size() || !name.starts_with(before) ||
      !name.ends_with(after)) {
    return std::nullopt;
  }
  const std::string_view stamp = name.substr(before.size(), kStampDigits);
  if (!IsDateTime(stamp)) return std::nullopt;
  return std::string(stamp);
}

std::vector<StampedArchive> SlotArchives(std::string_view fileTemplate,
                                         const std::vector<platform::FolderEntry>& listing) {
  std::vector<StampedArchive> archives;
  for (const platform::FolderEntry& entry : listing) {
    if (entry.kind != platform::EntryKind::kRegularFile) continue;
    if (const auto stamp = StampIn(entry.name, fileTemplate)) {
      archives.push_back(StampedArchive{entry.name, *stamp, entry.bytes});
    }
  }
  std::sort(archives.begin(), archives.end(), [](const StampedArchive& a, const StampedArchive& b) {
    return a.stamp != b.stamp ? a.stamp < b.stamp : a.name < b.name;
  });
  return archives;
}

std::vector<StampedArchive> ArchivesBeyond(std::string_view fileTemplate,
                                           const std::vector<platform::FolderEntry>& listing,
                                           uint64_t keep, std::string_view written,
                                           const std::vector<std::string>& spared) {
  std::vector<StampedArchive> others;
  for (StampedArchive& archive : SlotArchives(fileTemplate, listing)) {
    if (archive.name == written ||
        std::find(spared.begin(), spared.end(), archive.name) != spared.end()) {
      continue;
    }
    others.push_back(std::move(archive));
  }
  // The archive just written holds one of the places kept.
  const uint64_t keptOthers = keep > 0 ? keep - 1 : 0;
  if (others.size() <= keptOthers) return {};
  others.resize(others.size() - keptOthers);
  return others;
}

}  // namespace AppModule
