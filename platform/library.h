// Loading a shared library by name as a program loads it, and finding a
// symbol in it: from the program's folder first, then on POSIX through
// dlopen's ordinary search, on Windows from the system folder and the
// Windows folder only (never the current folder or PATH). Failures throw
// platform::Error naming the library and the loader's own reason.
#pragma once

#include <string>

namespace platform {

class DynamicLibrary {
 public:
  // name: "Unlha32", "7-zip32"; the platform adds its prefix and suffix.
  // Loads it as this program does.
  explicit DynamicLibrary(const std::string& name);
  // Loads it as a program installed in programFolder (UTF-8) would: the
  // file in that folder first, else from the system's places.
  DynamicLibrary(const std::string& name, const std::string& programFolder);
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  void* Symbol(const char* symbol) const;
  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_;
  void* handle_;
};

}  // namespace platform
