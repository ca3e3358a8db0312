#include "platform/library.h"

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/utf16_win32.h"

namespace platform {

// LoadLibraryA searches the executable's folder first, which is where the
// archiver DLLs are installed beside slotbackup.exe.
DynamicLibrary::DynamicLibrary(const std::string& name)
    : fileName_(name + ".dll"), handle_(LoadLibraryA(ToMultiByte(fileName_).c_str())) {
  if (handle_ == nullptr) {
    const DWORD code = GetLastError();
    throw Error("Cannot load " + fileName_ + ": " + SystemErrorText(static_cast<int>(code)));
  }
}

DynamicLibrary::~DynamicLibrary() {
  FreeLibrary(static_cast<HMODULE>(handle_));
}

void* DynamicLibrary::Symbol(const char* symbol) const {
  FARPROC address = GetProcAddress(static_cast<HMODULE>(handle_), symbol);
  if (address == nullptr) {
    const DWORD code = GetLastError();
    throw Error("Cannot find " + std::string(symbol) + " in " + fileName_ + ": " +
                SystemErrorText(static_cast<int>(code)));
  }
  return reinterpret_cast<void*>(address);
}

}  // namespace platform
