#include <dlfcn.h>

#include "platform/error.h"
#include "platform/library.h"

namespace platform {

namespace {

std::string LoaderReason() {
  const char* reason = dlerror();
  return reason != nullptr ? reason : "unknown reason";
}

}  // namespace

// A bare file name makes dlopen use the ordinary search: the executable's
// RUNPATH ($ORIGIN, its own folder) first, then the system's folders.
DynamicLibrary::DynamicLibrary(const std::string& name)
    : fileName_("lib" + name + ".so"), handle_(dlopen(fileName_.c_str(), RTLD_NOW | RTLD_LOCAL)) {
  if (handle_ == nullptr) throw Error("Cannot load " + fileName_ + ": " + LoaderReason());
}

DynamicLibrary::~DynamicLibrary() {
  dlclose(handle_);
}

void* DynamicLibrary::Symbol(const char* symbol) const {
  dlerror();  // clear any earlier message so the one below is this lookup's
  void* address = dlsym(handle_, symbol);
  if (address == nullptr) {
    throw Error("Cannot find " + std::string(symbol) + " in " + fileName_ + ": " + LoaderReason());
  }
  return address;
}

}  // namespace platform
