// Loading a shared library by name through the platform's ordinary search
// (LoadLibraryA / dlopen) and finding a symbol in it. Failures throw
// platform::Error naming the library and the loader's own reason.
#pragma once

#include <string>

namespace platform {

class DynamicLibrary {
 public:
  // name: "Unlha32", "7-zip32"; the platform adds its prefix and suffix.
  explicit DynamicLibrary(const std::string& name);
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
