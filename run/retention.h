// Which of a slot's archives are its own, and which of them a run removes to
// keep the newest N. An archive is the slot's only when its name is exactly
// the slot's file-name template with the first "%D" replaced by 14 digits
// that form a valid date and time, and it is a regular file: a near-miss, a
// folder or a link of such a name is never the slot's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder.h"

namespace AppModule {

// The stamp ("yyyymmddhhnnss") in name when name is fileTemplate with its
// first "%D" replaced by a valid date and time (month 1-12, a day the month
// has, leap years counted; hour below 24, minute and second below 60).
// Nothing otherwise, and for a template without "%D".
std::optional<std::string> StampIn(std::string_view name, std::string_view fileTemplate);

struct StampedArchive {
  std::string name;
  std::string stamp;
  uint64_t bytes = 0;
};

// The slot's archives in listing, oldest first: by stamp, then by name.
std::vector<StampedArchive> SlotArchives(std::string_view fileTemplate,
                                         const std::vector<platform::FolderEntry>& listing);

// The slot's archives in listing beyond the newest `keep` (at least 1), the
// archive just written (`written`) counted among those kept whatever its
// stamp, oldest first. Never `written`, never a name in `spared`.
std::vector<StampedArchive> ArchivesBeyond(std::string_view fileTemplate,
                                           const std::vector<platform::FolderEntry>& listing,
                                           uint64_t keep, std::string_view written,
                                           const std::vector<std::string>& spared);

}  // namespace AppModule
