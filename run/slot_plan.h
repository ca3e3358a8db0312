// The run's rules for the settings file, stated once: the sections and keys
// it reads, the slot keys, the archive-type rule, how a slot's names expand
// and where they lie, the double-quote refusal, which library runs and which
// format it writes, the command line, which old archives a slot keeps, and
// what each slot comes to. The run
// executes these plans (run/slot_run.h); slotbackup-check reads the same
// plans and adds what it finds on disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archiver/archiver_runner.h"
#include "platform/clock.h"
#include "platform/folder.h"
#include "run/retention.h"
#include "settings/ini_file.h"

namespace AppModule {

// The sections and keys the run reads.
inline constexpr char kSaveSection[] = "BackUP_Save";
inline constexpr char kSavePathKey[] = "SavePath";
inline constexpr char kArchiveTypeKey[] = "ArchiveType";
inline constexpr char kTargetSection[] = "BackUP_Target";
inline constexpr char kNameSection[] = "BackUP_Name";
inline constexpr char kConstantNameSection[] = "BackUP_ConstantName";
// Optional: how many of a slot's archives to keep, the newest.
inline constexpr char kKeepSection[] = "BackUP_Keep";

// Slots 0 to kSlotCount - 1, run in that order, keyed SlotKey(slot) in each
// of the slot sections (target, name, fixed name, archives kept).
inline constexpr int32_t kSlotCount = 100;
inline constexpr const char* kSlotSections[] = {kTargetSection, kNameSection, kConstantNameSection,
                                                kKeepSection};

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
  // A double quote in a path would end it on the command line, or the
  // system's code page lacks a character of a path, so that the archiver
  // would be handed another path: the slot is recorded as failed without an
  // archiver run.
  kRefused,
  // The library runs on the target with its attributes cleared; once it
  // succeeds, the archive is copied to the fixed name.
  kArchive,
};

// What "BackUP_Keep" asks of a slot.
enum class KeepRule {
  kAll,           // no value: every archive stays, as ever
  kNewest,        // the run removes the slot's archives beyond the newest `keep`
  kInvalid,       // not a whole number of at least 1: every archive stays
  kWithoutStamp,  // a number, but the file name has no "%D": nothing to remove
};

// A "BackUP_Keep" value: a whole number of at least 1, digits only (leading
// zeros allowed; one too large to count keeps everything). Nothing for
// anything else: "0", "-1", "2.5", "+3", "three", blanks inside quotes.
std::optional<uint64_t> ParseKeep(std::string_view text);

// Which path of a slot holds a double quote, or a character the system's
// code page lacks: the save folder, the archive name or the target.
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
  // The first path the system's code page cannot hold exactly, and the first
  // character of it that the code page lacks (platform::CharacterName).
  QuotedPath notInCodePage = QuotedPath::kNone;
  std::string lackedCharacter;
  // With an archiver type (kArchive, kRefused): the library, what it writes
  // for the name, and the line it is handed (kArchive only).
  Unlha32::Library library = Unlha32::Library::kUnlha;
  ArchiveFormat format = ArchiveFormat::kNone;
  std::string commandLine;
  // "BackUP_Keep": the value as read (empty without one), what it asks and
  // its number. The slot's archives lie in archiveFolder, named after
  // fileTemplate: the template's file-name part, empty when its first "%D"
  // is not in that part (none, or in a folder of the name).
  std::string keepText;
  KeepRule keepRule = KeepRule::kAll;
  uint64_t keep = 0;
  std::string archiveFolder;
  std::string fileTemplate;

  // Whether the run processes the slot (clears and restores its target's
  // attributes): kNoArchiver, kRefused, kArchive.
  bool Runs() const;
  // The folders the slot writes files into: the archive's and the copy's.
  std::vector<std::string> Folders() const;
  // The failure recorded for a refused slot.
  std::string Refusal() const;
  // The file names of the archive written now and of the fixed-name copy
  // when it lies in archiveFolder (empty otherwise).
  std::string ArchiveFileName() const;
  std::string CopyInArchiveFolder() const;
  // The path of the file name in archiveFolder.
  std::string InArchiveFolder(const std::string& name) const;
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
// The last name of path, as the platform separates it.
std::string FileName(const std::string& path);

// The slot's archives that a run removes after writing its new archive,
// given what archiveFolder holds (listing): those beyond the newest `keep`,
// the new archive counted among the kept. Nothing unless keepRule is
// kNewest. The fixed-name copy and the new archive are never among them.
std::vector<StampedArchive> ArchivesToRemove(const SlotPlan& plan,
                                             const std::vector<platform::FolderEntry>& listing);

// The slot's newest archive in listing: by its stamp when the file name has
// a "%D", else the archive's own name; nothing when there is none.
std::optional<StampedArchive> NewestArchive(const SlotPlan& plan,
                                            const std::vector<platform::FolderEntry>& listing);

}  // namespace AppModule
