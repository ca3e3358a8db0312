#include <dlfcn.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/library.h"
#include "platform/program.h"

namespace platform {

namespace {

// The program's own folder first, as Windows searches it first: a library
// installed beside the executable wins. This is done here rather than left
// to the executable's RUNPATH alone, because dlopen applies the RUNPATH of
// whichever object calls it, and an interposed dlopen (a sanitizer's, for
// one) would otherwise skip the program's folder.
void* Open(const std::string& fileName, const std::string& programFolder) {
  const std::string beside = ToMultiByte(programFolder) + "/" + fileName;
  if (access(beside.c_str(), F_OK) == 0) return dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  return dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

std::string LoaderReason() {
  const char* reason = dlerror();
  return reason != nullptr ? reason : "unknown reason";
}

}  // namespace

DynamicLibrary::DynamicLibrary(const std::string& name)
    : DynamicLibrary(name, GetProgramPath().directory) {}

// Elsewhere a bare file name makes dlopen use the ordinary search: RUNPATH
// ($ORIGIN on the executable), LD_LIBRARY_PATH, then the system's folders.
DynamicLibrary::DynamicLibrary(const std::string& name, const std::string& programFolder)
    : fileName_("lib" + name + ".so"), handle_(Open(fileName_, programFolder)) {
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
