#include "run/slot.h"

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

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder + platform::kPathSeparator + name;
}

}  // namespace

SaveSettings ReadSaveSettings(clsIniFile& settings) {
  settings.Section("BackUP_Save");
  SaveSettings save;
  save.savePath = settings.GetString("SavePath", "");
  save.archiveType = UpperCase(settings.GetString("ArchiveType", ""));
  return save;
}

std::vector<std::string> Slot::Folders() const {
  std::vector<std::string> folders{ParentFolder(archivePath)};
  if (!constantPath.empty() && ParentFolder(constantPath) != folders[0]) {
    folders.push_back(ParentFolder(constantPath));
  }
  return folders;
}

std::string SlotKey(int32_t slot) {
  std::string key = std::to_string(slot);
  return std::string(4 - key.size(), '0') + key;
}

std::optional<Slot> ReadSlot(clsIniFile& settings, int32_t slot, const std::string& savePath,
                             const platform::LocalTime& now) {
  Slot s;
  s.key = SlotKey(slot);
  settings.Section("BackUP_Target");
  s.target = settings.GetString(s.key, "");
  if (s.target.empty()) return std::nullopt;
  settings.Section("BackUP_Name");
  const std::string name = settings.GetString(s.key, "");
  if (name.empty()) return std::nullopt;
  s.name = ExpandName(name, now);
  s.archivePath = JoinPath(savePath, s.name);
  settings.Section("BackUP_ConstantName");
  const std::string constantName = settings.GetString(s.key, "");
  if (!constantName.empty()) s.constantPath = JoinPath(savePath, constantName);
  return s;
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
