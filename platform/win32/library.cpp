#include "platform/library.h"

#include <vector>

#include "platform/error.h"
#include "platform/program.h"
#include "platform/win32/utf16.h"

namespace platform {

namespace {

// A folder the system names through one of its Get*DirectoryW functions.
template <typename Get>
std::wstring SystemFolder(Get get) {
  wchar_t folder[MAX_PATH + 1];
  const UINT length = get(folder, MAX_PATH + 1);
  return length > 0 && length <= MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

// The archiver DLLs are looked for only where they are installed: beside the
// program, in the system folder (System32, which Windows shows a 32-bit
// program as SysWOW64), and in the Windows folder, where their installers
// have put them since Windows 95; the order is the system's own. Never in
// the current folder or the folders on PATH, which Windows would search
// next and which any user may be able to write to. A DLL loaded from its
// full path finds its own DLLs beside itself and in the system folder only.
HMODULE Load(const std::string& fileName, const std::string& programFolder, DWORD* error) {
  const std::wstring name = ToWide(fileName);
  const std::vector<std::wstring> folders{ToWide(programFolder), SystemFolder(GetSystemDirectoryW),
                                          SystemFolder(GetWindowsDirectoryW)};
  *error = 0;  // none found
  for (const std::wstring& folder : folders) {
    if (folder.empty()) continue;
    const bool separated = folder.back() == L'\\' || folder.back() == L'/';
    const std::wstring path = folder + (separated ? L"" : L"\\") + name;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    HMODULE module = LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr) return module;
    // One that is there but does not load (another architecture, damaged)
    // is reported as it is, never passed over for one further on.
    *error = GetLastError();
    return nullptr;
  }
  return nullptr;
}

}  // namespace

DynamicLibrary::DynamicLibrary(const std::string& name)
    : DynamicLibrary(name, GetProgramPath().directory) {}

DynamicLibrary::DynamicLibrary(const std::string& name, const std::string& programFolder)
    : fileName_(name + ".dll") {
  DWORD error = 0;
  handle_ = Load(fileName_, programFolder, &error);
  if (handle_ == nullptr && error == 0) {
    throw Error("Cannot load " + fileName_ + ": it is neither in " + programFolder +
                " nor in the system's folders (" + FromWide(SystemFolder(GetSystemDirectoryW)) +
                ", " + FromWide(SystemFolder(GetWindowsDirectoryW)) + ")");
  }
  if (handle_ == nullptr) {
    throw Error("Cannot load " + fileName_ + ": " + SystemErrorText(static_cast<int>(error)));
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
