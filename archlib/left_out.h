// What a command could not read, and so left out of the archive: a file or
// folder it may not open, one gone since the walk, a read that failed part
// way, a file that changed while it was read. Everything else is archived;
// the command still fails, its message counting what is missing and naming
// the first few, and the full list is kept beside the archive
// (platform/missing_list.h) for whoever restores from it. One rule for all
// three formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "archlib/entry.h"
#include "archlib/tree_walk.h"
#include "platform/file_info.h"

namespace archlib {

// The reason for a file whose every reading found it changed.
inline constexpr std::string_view kChangedWhileRead = "changed while it was read";

// A source file that could not be read, or changed while it was read: its
// entry is left out instead of failing the command. what() names the path
// and the reason.
class ReadFault : public Failure {
 public:
  ReadFault(const std::string& diskPath, const std::string& description, bool changed)
      : Failure(description), diskPath_(diskPath), changed_(changed) {}
  const std::string& DiskPath() const { return diskPath_; }
  // Changed while it was read: worth reading once more.
  bool Changed() const { return changed_; }

 private:
  std::string diskPath_;
  bool changed_;
};

// Throws the ReadFault for a file that changed while it was read: `read`
// bytes of the `opened` file were read, and `now` is the open file after
// the last read. It shrank (fewer bytes than its size when opened, or a
// smaller size now) or was rewritten in place (the same size, another
// modification time). A file that only grew is read at its opening size and
// did not change.
void CheckUnchanged(const std::string& diskPath, const platform::FileInfo& opened,
                    const platform::FileInfo& now, uint64_t read);

// Waits a moment before a file that changed is read again: a change seen
// part way (a file cut short whose new modification time is not yet set)
// has then settled, and the second reading sees the file as it stays.
void SettleBeforeReadingAgain();

// What a file read failure becomes: a ReadFault for that path, unless it is
// one already.
ReadFault AsReadFault(const std::string& diskPath, const Failure& failure);

// The entries a command left out, safe to add to from any thread.
class LeftOut {
 public:
  // description names the path and the reason.
  void Add(std::string description);
  size_t Count() const;
  bool Empty() const { return Count() == 0; }

  // After the archive was put in place: writes the list beside it, or
  // removes a list an earlier command left there when nothing is missing.
  // Throws Failure when the list cannot be written or removed.
  void Record(const std::string& archive) const;
  // The result message of a command that left entries out: how many, the
  // first few, where the list is, then what the command did. Throws it as
  // Failure when anything was left out.
  void ThrowIfAny(const std::string& archive, const std::string& done) const;
  // A command that left entries out and stored no file at all writes no
  // archive: it throws the message at once.
  void ThrowIfNothingRead(size_t filesStored) const;

 private:
  std::string Message(const std::string& archive, const std::string& done) const;

  mutable std::mutex lock_;
  std::vector<std::string> descriptions_;
};

// Walks target as WalkTarget does, adding to leftOut what cannot be read
// below it and going on. A target that is itself missing, or not a file or
// folder, still fails the walk: the command names nothing to back up.
void WalkLeavingOut(const std::string& target, const std::function<void(const TreeEntry&)>& visit,
                    LeftOut& leftOut);

}  // namespace archlib
