// What the settings say about the save folder and each backup slot, and
// what a slot derives from them: the one place the run (and its recovery)
// reads them from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "settings/ini_file.h"

namespace AppModule {

inline constexpr int32_t kSlotCount = 100;

// "[BackUP_Save]": where archives go and the archive type, upper-cased.
struct SaveSettings {
  std::string savePath;
  std::string archiveType;
};
SaveSettings ReadSaveSettings(clsIniFile& settings);

struct Slot {
  std::string key;           // "0000" to "0099"
  std::string target;        // the folder to back up
  std::string name;          // the archive's name, "%D" expanded
  std::string archivePath;   // the save folder joined with name
  std::string constantPath;  // the fixed-name copy's path; empty when none

  // The folders the slot writes files into: the archive's and the copy's.
  std::vector<std::string> Folders() const;
};

// "0000" for 0.
std::string SlotKey(int32_t slot);

// The slot as configured; nothing when it has no target or no name.
std::optional<Slot> ReadSlot(clsIniFile& settings, int32_t slot, const std::string& savePath,
                             const platform::LocalTime& now);

// The folder part of path, as the platform separates it ("/" for "/x").
std::string ParentFolder(const std::string& path);

}  // namespace AppModule
