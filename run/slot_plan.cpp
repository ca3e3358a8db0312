#include "run/slot_plan.h"

#include "archiver/unlha32.h"
#include "platform/archive_format.h"
#include "platform/program.h"
#include "run/expand_name.h"

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

std::string SlotPlan::Refusal() const {
  const char* where = quoted == QuotedPath::kSaveFolder ? "the save folder"
                      : quoted == QuotedPath::kName     ? "the archive name"
                                                        : "the target folder";
  return std::string("a double quote in ") + where +
         " would end a path on the archiver's command line";
}

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

std::string ParentFolder(const std::string& path) {
  // '/' separates on every platform; Windows also takes its own.
  const size_t cut = path.find_last_of(std::string("/") + platform::kPathSeparator);
  if (cut == std::string::npos) return ".";
  std::string folder = path.substr(0, cut);
  // "/x" and "C:\x" lie in a root, which keeps its separator.
  if (folder.empty() || folder.back() == ':') folder += path[cut];
  return folder;
}

}  // namespace AppModule
