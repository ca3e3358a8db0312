// The Windows file layer's fault-injection seam, the twin of
// platform/posix/fault_injection.h. Every write, file flush, move into
// place and removal the layer makes, every file it opens or creates, and
// every random number it draws for a temporary name pass through
// system_calls.h. While a FaultInjector lives, a test in the same process
// can make a chosen call fail as a full or failing disk or a refused move
// would, change a file just before it is opened, and see each file as it
// is created. Without an injector the calls go straight to the system.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::win32 {

class FaultInjector {
 public:
  // Takes effect at once; only one may live at a time (std::logic_error).
  FaultInjector();
  ~FaultInjector();
  FaultInjector(const FaultInjector&) = delete;
  FaultInjector& operator=(const FaultInjector&) = delete;

  // Write call number `call` (1 is the first after the injector was made)
  // transfers `bytes` of its data and every later write fails with `error`
  // (ERROR_DISK_FULL, ERROR_WRITE_FAULT). With bytes 0, or no fewer than the
  // call writes, the call itself fails.
  void FailWrite(uint64_t call, size_t bytes, DWORD error);
  // Flush of a file, move into place, removal: call number `call` of its
  // kind fails with `error`.
  void FailFlush(uint64_t call, DWORD error);
  void FailMove(uint64_t call, DWORD error);
  void FailRemove(uint64_t call, DWORD error);

  // Temporary names take these numbers first, in order, then random ones.
  void DrawNumbers(std::vector<uint64_t> numbers);
  // Called with the path, on the calling thread and outside any lock,
  // before the layer opens an existing file.
  void OnOpen(std::function<void(const std::string& path)> callback);
  // Called with each file the layer creates, before anything is written.
  void OnCreate(std::function<void(const std::string& path)> callback);

  struct Counts {
    uint64_t writes = 0;
    uint64_t bytes = 0;
    uint64_t flushes = 0;
    uint64_t moves = 0;
    uint64_t removes = 0;
    uint64_t creates = 0;
  };
  // The calls seen so far, failed ones included.
  Counts Seen() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace platform::win32
