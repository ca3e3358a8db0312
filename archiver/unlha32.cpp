#include "archiver/unlha32.h"

#include <vector>

#include "platform/codepage.h"
#include "platform/library.h"
#include "platform/program.h"

namespace Unlha32 {

namespace {

// The archivers write their messages here; the run does not read them.
constexpr uint32_t kOutputSize = 256;

std::string ArchivePath(const std::string& strSavePath, const std::string& strName) {
  return strSavePath + platform::kPathSeparator + strName;
}

bool Call(ArchiverEntryPoint entry, uint32_t window, const std::string& strCommandLine) {
  const std::string commandLine = platform::ToMultiByte(strCommandLine);
  // 256 blanks and a terminating NUL: a filled, NUL-terminated text area.
  std::vector<char> output(kOutputSize + 1, ' ');
  output[kOutputSize] = '\0';
  return entry(window, commandLine.c_str(), output.data(), kOutputSize) == 0;
}

}  // namespace

std::string LhaCommandLine(const std::string& strSavePath, const std::string& strName,
                           const std::string& strTarget) {
  return "a  -r2 -x1 \"" + ArchivePath(strSavePath, strName) + "\" \"" + strTarget + "\"";
}

std::string ZipCommandLine(const std::string& strSavePath, const std::string& strName,
                           const std::string& strTarget) {
  return "a \"" + ArchivePath(strSavePath, strName) + "\" \"" + strTarget + "\"";
}

Archivers::Archivers() = default;
Archivers::~Archivers() = default;

ArchiverEntryPoint Archivers::EntryPoint(Loaded& loaded, const char* library, const char* symbol) {
  if (loaded.entry == nullptr) {
    // A failed lookup leaves nothing loaded, so the next call tries again.
    auto opened = std::make_unique<platform::DynamicLibrary>(library);
    loaded.entry = reinterpret_cast<ArchiverEntryPoint>(opened->Symbol(symbol));
    loaded.library = std::move(opened);
  }
  return loaded.entry;
}

bool Archivers::RunUnlha(uint32_t window, const std::string& strCommandLine) {
  return Call(EntryPoint(unlha_, "Unlha32", "Unlha"), window, strCommandLine);
}

bool Archivers::RunSevenZip(uint32_t window, const std::string& strCommandLine) {
  return Call(EntryPoint(sevenZip_, "7-zip32", "SevenZip"), window, strCommandLine);
}

}  // namespace Unlha32
