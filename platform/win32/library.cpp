#include "platform/library.h"

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/program.h"
#include "platform/win32/utf16.h"

namespace platform {

namespace {

// LoadLibraryA searches the executable's folder first, which is where the
// archiver DLLs are installed beside slotbackup.exe. For a program installed
// elsewhere, a DLL in its folder is loaded from there, its own dependencies
// searched beside it as they would be for that program.
HMODULE Load(const std::string& fileName, const std::string& programFolder) {
  const std::wstring beside = ToWide(programFolder + "\\" + fileName);
  if (programFolder != GetProgramPath().directory &&
      GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return LoadLibraryExW(beside.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  return LoadLibraryA(ToMultiByte(fileName).c_str());
}

}  // namespace

DynamicLibrary::DynamicLibrary(const std::string& name)
    : DynamicLibrary(name, GetProgramPath().directory) {}

DynamicLibrary::DynamicLibrary(const std::string& name, const std::string& programFolder)
    : fileName_(name + ".dll"), handle_(Load(fileName_, programFolder)) {
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
