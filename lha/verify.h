// Reading the archive back with an independent decoder (libarchive's LHA
// reader) while it is being written, on a thread of its own: every member
// must decode, in order, to the size and CRC-16 it was written with before
// the archive replaces anything. The reader sees only bytes the writer has
// declared final, so headers patched after their data are read as patched.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "archlib/worker_pool.h"
#include "platform/open_file.h"

namespace lha {

struct ExpectedMember {
  uint64_t size = 0;
  uint16_t crc = 0;
  bool decode = true;  // false for carried members in methods the reader lacks
};

class Verifier {
 public:
  // Reads the archive from file (open for reading) with positioned reads,
  // so the writer's use of it is undisturbed.
  explicit Verifier(const platform::OpenFile& file);
  Verifier(const Verifier&) = delete;
  Verifier& operator=(const Verifier&) = delete;

  // The next member, all of whose bytes lie below `finalBytes`.
  void Add(const ExpectedMember& member, uint64_t finalBytes);
  // The archive is complete at `size` bytes: waits for the reader and
  // throws archlib::Failure describing the first difference it found.
  void Finish(uint64_t size);

 private:
  // Tells the reader to stop, whatever it is waiting for.
  void AskToStop();
  void Check();
  // The read callback's work: waits for final bytes past `offset_`.
  long Read(const void** data);

  const platform::OpenFile file_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ExpectedMember> expected_;
  uint64_t final_ = 0;  // bytes below this are written for good
  bool complete_ = false;
  bool waitingForMember_ = false;  // the reader waits for expected_ to grow
  bool stopping_ = false;
  uint64_t offset_ = 0;  // next byte to read; the reader thread's alone
  std::vector<uint8_t> buffer_;
  // Last: the reader starts once everything above is ready, and is stopped
  // and joined before the rest goes. It keeps the first difference found.
  archlib::WorkerPool reader_;
};

}  // namespace lha
