#include "archiver/unlha32.h"

#include "platform/archiver_call.h"
#include "platform/codepage.h"
#include "platform/library.h"
#include "platform/program.h"

namespace Unlha32 {

namespace {

// The archivers write their messages here: room for a reason that names a
// file or two.
constexpr uint32_t kOutputSize = 4096;

std::string ArchivePath(const std::string& strSavePath, const std::string& strName) {
  return strSavePath + platform::kPathSeparator + strName;
}

std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (!blank) {
      line += c;
    } else if (!line.empty() && line.back() != ' ') {
      line += ' ';
    }
  }
  if (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

Result Call(ArchiverEntryPoint entry, uint32_t window, const std::string& strCommandLine) {
  const platform::ArchiverCall call =
      platform::CallArchiver(entry, window, platform::ToMultiByte(strCommandLine), kOutputSize);
  if (!call.returned) return Result{false, call.failure};
  return Result{call.result == 0, OneLine(platform::ToUtf8(call.output))};
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

Result Archivers::RunUnlha(uint32_t window, const std::string& strCommandLine) {
  return Call(EntryPoint(unlha_, "Unlha32", "Unlha"), window, strCommandLine);
}

Result Archivers::RunSevenZip(uint32_t window, const std::string& strCommandLine) {
  return Call(EntryPoint(sevenZip_, "7-zip32", "SevenZip"), window, strCommandLine);
}

}  // namespace Unlha32
