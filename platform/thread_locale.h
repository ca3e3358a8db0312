// While alive, makes the calling thread convert names between multibyte
// text and wide characters (the C library's mbrtowc, and libarchive's name
// conversions) in a locale of its choosing: the environment's, or UTF-8,
// which holds every name. Other threads and the host program are untouched.
// On POSIX over posix::ThreadLocale (platform/posix/locale.h); on Windows a
// per-thread locale of the C runtime: the ANSI code page (platform::Error
// where the runtime lacks it), or UTF-8 where the runtime has it. msvcrt
// has no UTF-8 locale: there the thread keeps the one it has, and
// libarchive, which converts names there with the system's functions,
// reports a name it cannot convert as a warning, not a failure.
#pragma once

#include <memory>

namespace platform {

class ThreadLocale {
 public:
  enum class Of { kEnvironment, kUtf8 };
  explicit ThreadLocale(Of which);
  ~ThreadLocale();
  ThreadLocale(const ThreadLocale&) = delete;
  ThreadLocale& operator=(const ThreadLocale&) = delete;

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace platform
