// The file layer's fault-injection seam, after leveldb's
// FaultInjectionTestEnv. Every read, write, file flush, rename and folder flush
// the layer makes, every file it removes, every file it opens or creates,
// and every random number it draws for a temporary name pass through one
// place. While a
// FaultInjector lives, a test in the same process can make a chosen call
// fail as a full or failing disk would, change a file just before it is
// opened, and see each file as it was created: without root and without
// mounting anything. Without an injector the calls go straight to the system.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::posix {

class FaultInjector {
 public:
  // Takes effect at once; only one may live at a time (std::logic_error).
  FaultInjector();
  // Takes effect at once; calls in progress on other threads finish with
  // the injector's state, which lives until the last of them is done.
  ~FaultInjector();
  FaultInjector(const FaultInjector&) = delete;
  FaultInjector& operator=(const FaultInjector&) = delete;

  // Write call number `call` (1 is the first after the injector was made)
  // transfers `bytes` of its data and every later write fails with
  // `error`: the disk filled up (ENOSPC) or failed (EIO) there. With bytes
  // 0, or no fewer than the call writes, the call itself fails.
  void FailWrite(uint64_t call, size_t bytes, int error);
  // Flush of a file, rename, and flush of a folder after a rename: call
  // number `call` of its kind fails with `error`.
  void FailFileSync(uint64_t call, int error);
  void FailRename(uint64_t call, int error);
  void FailFolderSync(uint64_t call, int error);
  // Removal of a file: call number `call` fails with `error`.
  void FailRemove(uint64_t call, int error);

  // Reads of the file now at `path` (whatever name it is later read by)
  // get its first `bytes`; a read from there on fails with `error`: a disk
  // failing part way through it (EIO).
  void FailRead(const std::string& path, uint64_t bytes, int error);
  // Each read of the file now at `path` that reaches byte `bytes` calls
  // `then` on the reading thread once it has read: to change the file while
  // it is read.
  void AfterReading(const std::string& path, uint64_t bytes, std::function<void()> then);
  // Every read transfers at most `bytes`, as the system may.
  void ShortenReads(size_t bytes);

  // Temporary names take these numbers first, in order, then random ones.
  void DrawNumbers(std::vector<uint64_t> numbers);
  // Called with the path, on the calling thread and outside any lock,
  // before the layer opens an existing file.
  void OnOpen(std::function<void(const std::string& path)> callback);
  // Called with each file the layer creates and its permission bits as
  // created, before anything else happens to it.
  void OnCreate(std::function<void(const std::string& path, mode_t mode)> callback);

  struct Counts {
    uint64_t writes = 0;
    uint64_t bytes = 0;
    uint64_t fileSyncs = 0;
    uint64_t renames = 0;
    uint64_t folderSyncs = 0;
    uint64_t removes = 0;
    uint64_t creates = 0;
    uint64_t reads = 0;
  };
  // The calls seen so far, failed ones included.
  Counts Seen() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace platform::posix
