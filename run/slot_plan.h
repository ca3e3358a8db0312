// The run's rules for the settings file, stated once: the sections and keys
// it reads, the slot keys, the archive-type rule, how a slot's names expand
// and where they lie, the double-quote refusal, which library runs and which
// format it writes, the command line, and what each slot comes to. The run
// executes these plans (run/slot_run.h); slotbackup-check reads the same
// plans and adds what it finds on disk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archiver/archiver_runner.h"
#include "platform/clock.h"
#include "settings/ini_file.h"

namespace AppModule {

// The sections and keys the run reads.
inline constexpr char kSaveSection[] = "BackUP_Save";
inline constexpr char kSavePathKey[] = "SavePath";
inline constexpr char kArchiveTypeKey[] = "ArchiveType";
inline constexpr char kTargetSection[] = "BackUP_Target";
inline constexpr char kNameSection[] = "BackUP_Name";
inline constexpr char kConstantNameSection[] = "BackUP_ConstantName";

// Slots 0 to kSlotCount - 1, run in that order, keyed SlotKey(slot) in each
// of the slot sections (target, name, fixed name).
inline constexpr int32_t kSlotCount = 100;
inline constexpr const char* kSlotSections[] = {kTargetSection, kNameSection, kConstantNameSection};

// "0000" for 0: four digits.
std::string SlotKey(int32_t slot);

// What a key of a slot section, as the file spells it, is to the run.
enum class KeyForm {
  kSlot,            // the key of a slot
  kBeyondLastSlot,  // four digits, but past the last slot: never read
  kNotSlotKey,      // any other form ("7", "12345", "a"): never read
};
KeyForm FormOfKey(std::string_view key);

enum class ArchiveType { kNone, kLha, kZip };

// "[BackUP_Save]".
struct SaveSettings {
  std::string savePath;
  std::string archiveTypeText;  // as read
  // Upper-cased (ASCII letters only), as the run compares it: exactly "LHA"
  // or "ZIP" choose an archiver; nothing is trimmed, so a blank kept inside
  // quotes chooses none.
  std::string archiveType;
  ArchiveType type = ArchiveType::kNone;
};
SaveSettings ReadSaveSettings(clsIniFile& settings);

// What the chosen library writes for an archive name.
enum class ArchiveFormat { kNone, kLha, kZip, kSevenZ };
// "LHA", "ZIP", "7z"; empty for kNone.
const char* FormatName(ArchiveFormat format);

// What the run does with a slot.
enum class SlotAction {
  kUnused,    // no target, no name, no fixed name
  kNoTarget,  // a name or fixed name but no target: skipped
  kNoName,    // a target but no name: skipped
  // The archive type runs no archiver: the target's attributes are cleared
  // and restored, and a fixed name is refreshed from the archive already at
  // the slot's name.
  kNoArchiver,
  // A double quote in a path would end it on the command line: the slot is
  // recorded as failed without an archiver run.
  kRefused,
  // The library runs on the target with its attributes cleared; once it
  // succeeds, the archive is copied to the fixed name.
  kArchive,
};

// Which path of a slot holds a double quote.
enum class QuotedPath { kNone, kSaveFolder, kName, kTarget };

struct SlotPlan {
  int32_t index = 0;
  std::string key;
  std::string target;
  std::string nameTemplate;
  std::string constantName;  // empty without a fixed name
  std::string name;          // nameTemplate with its first "%D" expanded
  std::string archivePath;   // name in the save folder
  std::string constantPath;  // constantName in the save folder; empty without one
  SlotAction action = SlotAction::kUnused;
  QuotedPath quoted = QuotedPath::kNone;
  // With an archiver type (kArchive, kRefused): the library, what it writes
  // for the name, and the line it is handed (kArchive only).
  Unlha32::Library library = Unlha32::Library::kUnlha;
  ArchiveFormat format = ArchiveFormat::kNone;
  std::string commandLine;

  // Whether the run processes the slot (clears and restores its target's
  // attributes): kNoArchiver, kRefused, kArchive.
  bool Runs() const;
  // The folders the slot writes files into: the archive's and the copy's.
  std::vector<std::string> Folders() const;
  // The failure recorded for a refused slot.
  std::string Refusal() const;
};

// Slot slot of settings, its names expanded as of now.
SlotPlan PlanSlot(clsIniFile& settings, const SaveSettings& save, int32_t slot,
                  const platform::LocalTime& now);

// The save folder and every folder a slot that runs writes into, names
// expanded as of now: where the run removes (and slotbackup-check looks
// for) the temporary files an interrupted run left.
std::vector<std::string> FoldersWrittenInto(clsIniFile& settings, const SaveSettings& save,
                                            const platform::LocalTime& now);

// The folder part of path, as the platform separates it ("/" for "/x").
std::string ParentFolder(const std::string& path);

}  // namespace AppModule
