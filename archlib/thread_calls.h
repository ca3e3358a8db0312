// The calls through which the worker pool learns how many cores it may use
// and starts its threads: the one place ThreadInjector (thread_injection.h)
// reaches. thread_calls.cpp asks the system, in what is installed; test and
// benchmark programs link thread_injection.cpp in its place.
#pragma once

#include <functional>
#include <thread>

namespace archlib::threads {

// The cores this process may run on (platform::AllowedProcessors).
unsigned Cores();
// A thread running body; throws std::system_error when the system cannot
// start one.
std::thread Start(std::function<void()> body);

}  // namespace archlib::threads
