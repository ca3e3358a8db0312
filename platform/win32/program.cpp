#include "platform/program.h"

#include <string>

#include "platform/error.h"
#include "platform/win32/utf16.h"

namespace platform {

namespace {

// The executable's full path; the buffer grows until the path fits, since
// long paths can exceed MAX_PATH.
std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      const DWORD code = GetLastError();
      throw Error("Cannot find the program's own path: " + SystemErrorText(static_cast<int>(code)));
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

ProgramPath GetProgramPath() {
  const std::wstring path = ModulePath();
  const size_t slash = path.find_last_of(L"\\/");
  std::wstring directory = slash == std::wstring::npos ? L"" : path.substr(0, slash);
  std::wstring fileName = slash == std::wstring::npos ? path : path.substr(slash + 1);
  // A drive's root keeps its separator: "C:\" rather than the drive-relative "C:".
  if (directory.size() == 2 && directory[1] == L':') directory += L'\\';
  const size_t dot = fileName.find_last_of(L'.');
  if (dot != std::wstring::npos && dot != 0) fileName.resize(dot);
  return {FromWide(directory), FromWide(fileName)};
}

}  // namespace platform
