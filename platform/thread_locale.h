// While alive, makes the calling thread convert names between multibyte
// text and wide characters (the C library's mbrtowc, and libarchive's name
// conversions) in a locale of its choosing: the environment's, or UTF-8,
// which holds every name. Other threads and the host program are untouched.
// On POSIX over posix::ThreadLocale (platform/posix/locale.h); on Windows a
// per-thread locale of the C runtime: the ANSI code page, or UTF-8 where
// the runtime has it (platform::Error where it does not).
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
