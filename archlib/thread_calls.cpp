#include "archlib/thread_calls.h"

#include "platform/processors.h"

namespace archlib::threads {

unsigned Cores() {
  return platform::AllowedProcessors();
}

std::thread Start(std::function<void()> body) {
  return std::thread(std::move(body));
}

}  // namespace archlib::threads
