#include "lha/add.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "archlib/entry.h"
#include "archlib/left_out.h"
#include "archlib/tree_walk.h"
#include "archlib/unsafe_name.h"
#include "lha/archive_reader.h"
#include "lha/member_pipeline.h"
#include "lha/out_file.h"
#include "lha/verify.h"
#include "platform/atomic_file.h"
#include "platform/input_file.h"
#include "platform/name_text.h"

namespace lha {

namespace {

// The existing archive, open for reading while the new one is built. Only
// a regular file is opened: a FIFO or link planted at the name fails the
// command at once.
class OldArchive {
 public:
  explicit OldArchive(const std::string& path)
      : path_(path), file_(platform::InputFile::OpenIfPresent(path)) {
    if (file_) members_ = ListMembers(file_->File(), file_->Size(), path);
  }

  bool Is(const platform::FileInfo& info) const {
    return file_ && info.identity == file_->Info().identity;
  }
  const std::vector<StoredMember>& Members() const { return members_; }
  const platform::OpenFile& File() const { return file_->File(); }
  const std::string& Path() const { return path_; }
  // Windows replaces no file that is open, however it is shared.
  void Close() { file_.reset(); }

 private:
  std::string path_;
  std::optional<platform::InputFile> file_;
  std::vector<StoredMember> members_;
};

// Methods libarchive decodes; members in others are carried unread.
bool Decodable(const std::string& method) {
  return method == "-lh0-" || method == "-lh5-" || method == "-lh6-" || method == "-lh7-" ||
         method == "-lhd-";
}

}  // namespace

std::string AddToArchive(const Command& command) {
  const std::optional<uint32_t> codePage = platform::SystemCodePage();
  for (const std::string& target : command.targets) {
    if (!command.recurse) {
      const std::optional<platform::FileInfo> info =
          platform::InspectIfPresent(target, platform::Links::kNotFollowed);
      if (info && info->kind == platform::FileKind::kFolder) {
        throw archlib::Failure("folder target needs -r2: " + platform::ShownPath(target));
      }
    }
  }
  OldArchive old(command.archive);
  platform::AtomicFile temp(command.archive);
  const platform::FileIdentity tempIdentity = temp.File().Info().identity;
  OutFile out(temp.File());
  // Reads each member back while the next is written; declared after the
  // file it reads, so that it stops before the file goes. It reads what is
  // in the file: members are complete before anything after them is written.
  Verifier verifier(temp.File());
  auto finished = [&](const ExpectedMember& member) { verifier.Add(member, out.Flushed()); };

  // What cannot be read is left out; an old member of its name is kept.
  archlib::LeftOut leftOut;
  std::unordered_set<std::string> added;
  std::unordered_map<std::string, std::string> replacing;  // disk path -> old member's path
  size_t filesLeftOut = 0;
  auto leftOutFile = [&](const archlib::ReadFault& fault) {
    leftOut.Add(fault.what());
    ++filesLeftOut;
    auto it = replacing.find(fault.DiskPath());
    if (it != replacing.end()) added.erase(it->second);
  };
  MemberPipeline members(*command.method, codePage,
                         command.threads != 0 ? command.threads : DefaultThreads(), out, finished,
                         PipelineLimits(), leftOutFile);
  // Old members that new ones replace; only those paths are remembered, so
  // that a tree of any size needs no memory for its names.
  std::unordered_set<std::string> oldPaths;
  for (const StoredMember& m : old.Members()) oldPaths.insert(m.path);
  size_t written = 0, files = 0;
  for (const std::string& target : command.targets) {
    archlib::WalkLeavingOut(
        target,
        [&](const archlib::TreeEntry& entry) {
          if (entry.archivePath.empty()) return;  // "/" or "." itself: only its contents
          // Never pack the archive into itself, old or new.
          if (entry.info.identity == tempIdentity) return;
          if (old.Is(entry.info)) return;
          const bool file = entry.kind == archlib::TreeEntry::Kind::kFile;
          const std::string stored = platform::NameForArchive(entry.archivePath).bytes;
          if (oldPaths.count(stored) != 0) {
            added.insert(stored);
            if (file) replacing[entry.diskPath] = stored;
          }
          members.Add(entry);
          ++written;
          if (file) ++files;
        },
        leftOut);
  }
  members.Finish();
  written -= filesLeftOut;
  leftOut.ThrowIfNothingRead(files - filesLeftOut);
  size_t kept = 0, dropped = 0;
  for (const StoredMember& m : old.Members()) {
    if (added.count(m.path) != 0) continue;
    if (archlib::IsUnsafeName(m.path)) {
      ++dropped;
      continue;
    }
    CopyBytes(
        old.File(), m.offset, m.size, [&](const uint8_t* d, size_t n) { out.Write(d, n); },
        old.Path());
    const bool directory = m.method == "-lhd-";
    finished(ExpectedMember{directory ? 0 : m.originalSize, directory ? uint16_t{0} : m.crc,
                            Decodable(m.method)});
    ++kept;
  }
  const uint8_t end = 0;
  out.Write(&end, 1);
  out.Flush();
  verifier.Finish(out.Offset());
  old.Close();
  temp.Commit();
  leftOut.Record(command.archive);
  const std::string done = "added " + std::to_string(written) + " and kept " +
                           std::to_string(kept) + " members" + archlib::DroppedNote(dropped) +
                           ": " + platform::ShownPath(command.archive);
  leftOut.ThrowIfAny(command.archive, done);
  return done;
}

}  // namespace lha
