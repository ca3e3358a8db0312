#include "sevenzip/source.h"

#include <unordered_map>

#include "platform/input_file.h"

namespace sevenzip {

std::vector<Source> GatherSources(const std::vector<std::string>& targets, dev_t skipDevice,
                                  ino_t skipInode, archlib::LeftOut* leftOut) {
  std::vector<Source> sources;
  std::unordered_map<std::string, size_t> byName;
  auto visit = [&](const archlib::TreeEntry& e) {
    if (e.archivePath.empty()) return;  // a root target is no entry of its own
    if (e.info.identity == platform::FileIdentity{skipDevice, skipInode}) return;
    if (leftOut && e.kind == archlib::TreeEntry::Kind::kFile) {
      try {
        platform::InputFile::Open(e.diskPath);
      } catch (const platform::Error& failure) {
        leftOut->Add(failure.what());
        return;
      }
    }
    Source source{
        e, e.kind == archlib::TreeEntry::Kind::kDirectory ? e.archivePath + "/" : e.archivePath};
    auto [it, added] = byName.emplace(source.archivePath, sources.size());
    if (added) {
      sources.push_back(std::move(source));
    } else {
      sources[it->second] = std::move(source);
    }
  };
  for (const std::string& target : targets) {
    if (leftOut) {
      archlib::WalkLeavingOut(target, visit, *leftOut);
    } else {
      archlib::WalkTarget(target, visit);
    }
  }
  return sources;
}

}  // namespace sevenzip
