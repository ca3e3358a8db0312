#include "run/slot_plan.h"

#include "archiver/unlha32.h"
#include "platform/archive_format.h"
#include "platform/codepage.h"
#include "platform/program.h"
#include "run/expand_name.h"

#include <utility>

namespace AppModule {

namespace {

std::string UpperCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool ContainsQuote(const std::string& text) {
  return text.find('"') != std::string::npos;
}

std::string Read(clsIniFile& settings, const char* section, const std::string& key) {
  settings.Section(section);
  return settings.GetString(key, "");
}

}  // namespace

std::string SlotKey(int32_t slot) {
  std::string key = std::to_string(slot);
  return std::string(4 - key.size(), '0') + key;
}

KeyForm FormOfKey(std::string_view key) {
  if (key.size() != 4) return KeyForm::kNotSlotKey;
  int32_t slot = 0;
  for (char c : key) {
    if (c < '0' || c > '9') return KeyForm::kNotSlotKey;
    slot = slot * 10 + (c - '0');
  }
  return slot < kSlotCount ? KeyForm::kSlot : KeyForm::kBeyondLastSlot;
}

SaveSettings ReadSaveSettings(clsIniFile& settings) {
  SaveSettings save;
  save.savePath = Read(settings, kSaveSection, kSavePathKey);
  save.archiveTypeText = Read(settings, kSaveSection, kArchiveTypeKey);
  save.archiveType = UpperCase(save.archiveTypeText);
  if (save.archiveType == "LHA") save.type = ArchiveType::kLha;
  if (save.archiveType == "ZIP") save.type = ArchiveType::kZip;
  return save;
}

const char* FormatName(ArchiveFormat format) {
  switch (format) {
    case ArchiveFormat::kLha:
      return "LHA";
    case ArchiveFormat::kZip:
      return "ZIP";
    case ArchiveFormat::kSevenZ:
      return "7z";
    case ArchiveFormat::kNone:
      break;
  }
  return "";
}

std::optional<uint64_t> ParseKeep(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
  }
  if (value == 0) return std::nullopt;
  return value;
}

bool SlotPlan::Runs() const {
  return action == SlotAction::kNoArchiver || action == SlotAction::kRefused ||
         action == SlotAction::kArchive;
}

std::vector<std::string> SlotPlan::Folders() const {
  std::vector<std::string> folders{ParentFolder(archivePath)};
  if (!constantPath.empty() && ParentFolder(constantPath) != folders[0]) {
    folders.push_back(ParentFolder(constantPath));
  }
  return folders;
}

namespace {

const char* PathName(QuotedPath path) {
  return path == QuotedPath::kSaveFolder ? "the save folder"
         : path == QuotedPath::kName     ? "the archive name"
                                         : "the target folder";
}

}  // namespace

std::string SlotPlan::Refusal() const {
  if (notInCodePage != QuotedPath::kNone) {
    const bool target = notInCodePage == QuotedPath::kTarget;
    return std::string(PathName(notInCodePage)) + (target ? " " : " in ") +
           (target ? this->target : archivePath) + " holds " + lackedCharacter +
           ", which the system's code page lacks: the archiver would be handed another path";
  }
  return std::string("a double quote in ") + PathName(quoted) +
         " would end a path on the archiver's command line";
}

std::string SlotPlan::ArchiveFileName() const {
  return FileName(archivePath);
}

std::string SlotPlan::CopyInArchiveFolder() const {
  if (constantPath.empty() || ParentFolder(constantPath) != archiveFolder) return "";
  return FileName(constantPath);
}

std::string SlotPlan::InArchiveFolder(const std::string& name) const {
  const bool separated =
      archiveFolder.ends_with('/') || archiveFolder.ends_with(platform::kPathSeparator);
  return archiveFolder + (separated ? "" : std::string(1, platform::kPathSeparator)) + name;
}

namespace {

// Where the slot's archives lie and the file-name part of the template that
// names them, and what "BackUP_Keep" asks of the slot.
void PlanKeeping(clsIniFile& settings, const SaveSettings& save, SlotPlan& plan) {
  plan.archiveFolder = ParentFolder(plan.archivePath);
  const std::string templatePath = Unlha32::ArchivePath(save.savePath, plan.nameTemplate);
  const size_t stamp = plan.nameTemplate.find("%D");
  const size_t nameAt = templatePath.size() - FileName(templatePath).size();
  if (stamp != std::string::npos &&
      templatePath.size() - plan.nameTemplate.size() + stamp >= nameAt) {
    plan.fileTemplate = templatePath.substr(nameAt);
  }
  plan.keepText = Read(settings, kKeepSection, plan.key);
  if (plan.keepText.empty()) return;
  const std::optional<uint64_t> keep = ParseKeep(plan.keepText);
  if (!keep) {
    plan.keepRule = KeepRule::kInvalid;
  } else if (plan.fileTemplate.empty()) {
    plan.keepRule = KeepRule::kWithoutStamp;
  } else {
    plan.keepRule = KeepRule::kNewest;
    plan.keep = *keep;
  }
}

}  // namespace

SlotPlan PlanSlot(clsIniFile& settings, const SaveSettings& save, int32_t slot,
                  const platform::LocalTime& now) {
  SlotPlan plan;
  plan.index = slot;
  plan.key = SlotKey(slot);
  plan.target = Read(settings, kTargetSection, plan.key);
  plan.nameTemplate = Read(settings, kNameSection, plan.key);
  plan.constantName = Read(settings, kConstantNameSection, plan.key);
  if (plan.target.empty()) {
    const bool named = !plan.nameTemplate.empty() || !plan.constantName.empty();
    plan.action = named ? SlotAction::kNoTarget : SlotAction::kUnused;
    return plan;
  }
  if (plan.nameTemplate.empty()) {
    plan.action = SlotAction::kNoName;
    return plan;
  }
  plan.name = ExpandName(plan.nameTemplate, now);
  plan.archivePath = Unlha32::ArchivePath(save.savePath, plan.name);
  if (!plan.constantName.empty()) {
    plan.constantPath = Unlha32::ArchivePath(save.savePath, plan.constantName);
  }
  PlanKeeping(settings, save, plan);
  if (save.type == ArchiveType::kNone) {
    plan.action = SlotAction::kNoArchiver;
    return plan;
  }
  if (save.type == ArchiveType::kLha) {
    plan.library = Unlha32::Library::kUnlha;
    plan.format = ArchiveFormat::kLha;
  } else {
    plan.library = Unlha32::Library::kSevenZip;
    plan.format =
        platform::WritesZip(plan.archivePath) ? ArchiveFormat::kZip : ArchiveFormat::kSevenZ;
  }
  plan.quoted = ContainsQuote(save.savePath) ? QuotedPath::kSaveFolder
                : ContainsQuote(plan.name)   ? QuotedPath::kName
                : ContainsQuote(plan.target) ? QuotedPath::kTarget
                                             : QuotedPath::kNone;
  if (plan.quoted != QuotedPath::kNone) {
    plan.action = SlotAction::kRefused;
    return plan;
  }
  // The archiver gets the paths in the system's code page: one that would
  // not arrive exactly as written (¥ becomes '\\' or '?' in code page 932)
  // could name another folder.
  using Path = std::pair<const std::string&, QuotedPath>;
  for (const Path& path :
       {Path{save.savePath, QuotedPath::kSaveFolder}, Path{plan.name, QuotedPath::kName},
        Path{plan.target, QuotedPath::kTarget}}) {
    if (std::optional<std::string> lacked = platform::CharacterNotInCodePage(path.first)) {
      plan.notInCodePage = path.second;
      plan.lackedCharacter = std::move(*lacked);
      plan.action = SlotAction::kRefused;
      return plan;
    }
  }
  plan.action = SlotAction::kArchive;
  plan.commandLine = save.type == ArchiveType::kLha
                         ? Unlha32::LhaCommandLine(save.savePath, plan.name, plan.target)
                         : Unlha32::ZipCommandLine(save.savePath, plan.name, plan.target);
  return plan;
}

std::vector<std::string> FoldersWrittenInto(clsIniFile& settings, const SaveSettings& save,
                                            const platform::LocalTime& now) {
  std::vector<std::string> folders{save.savePath};
  for (int32_t slot = 0; slot < kSlotCount; ++slot) {
    const SlotPlan plan = PlanSlot(settings, save, slot, now);
    if (!plan.Runs()) continue;
    for (const std::string& folder : plan.Folders()) folders.push_back(folder);
  }
  return folders;
}

namespace {

size_t LastSeparator(const std::string& path) {
  // '/' separates on every platform; Windows also takes its own.
  return path.find_last_of(std::string("/") + platform::kPathSeparator);
}

}  // namespace

std::string FileName(const std::string& path) {
  const size_t cut = LastSeparator(path);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<StampedArchive> ArchivesToRemove(const SlotPlan& plan,
                                             const std::vector<platform::FolderEntry>& listing) {
  if (plan.keepRule != KeepRule::kNewest) return {};
  std::vector<std::string> spared;
  if (const std::string copy = plan.CopyInArchiveFolder(); !copy.empty()) spared.push_back(copy);
  return ArchivesBeyond(plan.fileTemplate, listing, plan.keep, plan.ArchiveFileName(), spared);
}

std::optional<StampedArchive> NewestArchive(const SlotPlan& plan,
                                            const std::vector<platform::FolderEntry>& listing) {
  if (!plan.fileTemplate.empty()) {
    std::vector<StampedArchive> archives = SlotArchives(plan.fileTemplate, listing);
    if (archives.empty()) return std::nullopt;
    return archives.back();
  }
  const std::string name = plan.ArchiveFileName();
  for (const platform::FolderEntry& entry : listing) {
    if (entry.name == name && entry.kind == platform::EntryKind::kRegularFile) {
      return StampedArchive{name, "", entry.bytes};
    }
  }
  return std::nullopt;
}

std::string ParentFolder(const std::string& path) {
  const size_t cut = LastSeparator(path);
  if (cut == std::string::npos) return ".";
  std::string folder = path.substr(0, cut);
  // "/x" and "C:\x" lie in a root, which keeps its separator.
  if (folder.empty() || folder.back() == ':') folder += path[cut];
  return folder;
}

}  // namespace AppModule
