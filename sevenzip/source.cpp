#include "sevenzip/source.h"

#include <unordered_map>

namespace sevenzip {

std::vector<Source> GatherSources(const std::vector<std::string>& targets, dev_t skipDevice,
                                  ino_t skipInode) {
  std::vector<Source> sources;
  std::unordered_map<std::string, size_t> byName;
  for (const std::string& target : targets) {
    archlib::WalkTarget(target, [&](const archlib::TreeEntry& e) {
      if (e.archivePath.empty()) return;  // a root target is no entry of its own
      if (e.info.identity == platform::FileIdentity{skipDevice, skipInode}) return;
      Source source{
          e, e.kind == archlib::TreeEntry::Kind::kDirectory ? e.archivePath + "/" : e.archivePath};
      auto [it, added] = byName.emplace(source.archivePath, sources.size());
      if (added) {
        sources.push_back(std::move(source));
      } else {
        sources[it->second] = std::move(source);
      }
    });
  }
  return sources;
}

}  // namespace sevenzip
