#include <sys/random.h>

#include <atomic>
#include <chrono>

#include "platform/posix/system_calls.h"

namespace platform::posix::sys {

uint64_t SystemRandom() {
  uint64_t value = 0;
  if (getrandom(&value, sizeof value, GRND_NONBLOCK) == sizeof value) return value;
  // No entropy yet (early boot) or no getrandom: the clock, mixed. The
  // name is created exclusively, so this only makes it easier to guess.
  static std::atomic<uint64_t> counter{0};
  uint64_t z = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) +
               (++counter) * 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace platform::posix::sys
