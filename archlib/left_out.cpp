#include "archlib/left_out.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/missing_list.h"
#include "platform/name_text.h"

namespace archlib {

namespace {

// Entries the result message names; the list beside the archive has all.
constexpr size_t kNamed = 3;

}  // namespace

void CheckUnchanged(const std::string& diskPath, const platform::FileInfo& opened,
                    const platform::FileInfo& now, uint64_t read) {
  const bool shrank = read < opened.size || now.size < opened.size;
  const bool rewritten =
      now.size == opened.size && (now.modifiedSeconds != opened.modifiedSeconds ||
                                  now.modifiedNanoseconds != opened.modifiedNanoseconds);
  if (shrank || rewritten) {
    throw ReadFault(diskPath, std::string(kChangedWhileRead) + ": " + diskPath, true);
  }
}

void SettleBeforeReadingAgain() {
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

ReadFault AsReadFault(const std::string& diskPath, const Failure& failure) {
  if (const auto* fault = dynamic_cast<const ReadFault*>(&failure)) return *fault;
  return ReadFault(diskPath, failure.what(), false);
}

void LeftOut::Add(std::string description) {
  std::lock_guard<std::mutex> hold(lock_);
  descriptions_.push_back(std::move(description));
}

size_t LeftOut::Count() const {
  std::lock_guard<std::mutex> hold(lock_);
  return descriptions_.size();
}

void LeftOut::Record(const std::string& archive) const {
  const std::string list = platform::MissingListName(archive);
  std::vector<std::string> all;
  {
    std::lock_guard<std::mutex> hold(lock_);
    all = descriptions_;
  }
  if (all.empty()) {
    std::error_code error;
    // The layer's form is UTF-8 on Windows and the system's bytes on POSIX,
    // which a path made from UTF-8 code units keeps as they are.
    std::filesystem::remove(std::u8string(list.begin(), list.end()), error);
    if (error) throw Failure("cannot remove " + list + ": " + error.message());
    return;
  }
  std::sort(all.begin(), all.end());
  std::string text = "Left out of " + platform::ShownPath(archive) +
                     ", which could not be read when it was written";
  text += " (an entry the archive held before keeps its earlier version):\n";
  for (const std::string& d : all) text += d + "\n";
  platform::AtomicFile file(list);
  file.File().WriteAt(0, text.data(), text.size());
  file.Commit();
}

std::string LeftOut::Message(const std::string& archive, const std::string& done) const {
  std::vector<std::string> all;
  {
    std::lock_guard<std::mutex> hold(lock_);
    all = descriptions_;
  }
  std::sort(all.begin(), all.end());
  std::string message = "left out " + std::to_string(all.size()) +
                        (all.size() == 1 ? " entry" : " entries") + " it could not read (";
  for (size_t i = 0; i < all.size() && i < kNamed; ++i) message += (i ? "; " : "") + all[i];
  if (all.size() > kNamed) message += "; ...";
  message += ")";
  if (!archive.empty()) message += ", listed in " + platform::MissingListName(archive);
  return message + "; " + done;
}

void LeftOut::ThrowIfAny(const std::string& archive, const std::string& done) const {
  if (!Empty()) throw Failure(Message(archive, done));
}

void LeftOut::ThrowIfNothingRead(size_t filesStored) const {
  if (!Empty() && filesStored == 0) throw Failure(Message("", "nothing archived"));
}

void WalkLeavingOut(const std::string& target, const std::function<void(const TreeEntry&)>& visit,
                    LeftOut& leftOut) {
  bool reached = false;
  WalkWatch watch;
  watch.cannotRead = [&](const platform::Error& failure) {
    if (!reached) throw failure;
    leftOut.Add(failure.what());
  };
  WalkTarget(
      target,
      [&](const TreeEntry& entry) {
        reached = true;
        visit(entry);
      },
      watch);
}

}  // namespace archlib
