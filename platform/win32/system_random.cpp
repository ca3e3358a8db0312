#include "platform/win32/system_calls.h"
// After windows.h, whose types it uses.
#include <bcrypt.h>

namespace platform::win32::sys {

uint64_t SystemRandom() {
  uint64_t value = 0;
  if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value,
                      BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
    // No system generator: the name is still created exclusively.
    value = GetTickCount64() * 0x9E3779B97F4A7C15ull ^ reinterpret_cast<uintptr_t>(&value);
  }
  return value;
}

}  // namespace platform::win32::sys
