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
  const platform::ArchiverCall call = platform::CallArchiver(
      entry, window, platform::ToMultiByteExactly(strCommandLine), kOutputSize);
  if (!call.returned) return Result{false, call.failure};
  return Result{call.result == 0, OneLine(platform::ToUtf8(call.output))};
}

const char* EntryPointName(Library library) {
  return library == Library::kUnlha ? "Unlha" : "SevenZip";
}

}  // namespace

const char* LibraryName(Library library) {
  return library == Library::kUnlha ? "Unlha32" : "7-zip32";
}

std::string ArchivePath(const std::string& strSavePath, const std::string& strName) {
  return strSavePath + platform::kPathSeparator + strName;
}

std::string LhaCommandLine(const std::string& strSavePath, const std::string& strName,
                           const std::string& strTarget) {
  return "a  -r2 -x1 \"" + ArchivePath(strSavePath, strName) + "\" \"" + strTarget + "\"";
}

std::string ZipCommandLine(const std::string& strSavePath, const std::string& strName,
                           const std::string& strTarget) {
  return "a \"" + ArchivePath(strSavePath, strName) + "\" \"" + strTarget + "\"";
}

Archivers::Archivers() : Archivers(platform::GetProgramPath().directory) {}
Archivers::Archivers(std::string programFolder) : programFolder_(std::move(programFolder)) {}
Archivers::~Archivers() = default;

ArchiverEntryPoint Archivers::EntryPoint(Library library) {
  Loaded& loaded = library == Library::kUnlha ? unlha_ : sevenZip_;
  if (loaded.entry == nullptr) {
    // A failed lookup leaves nothing loaded, so the next call tries again.
    auto opened = std::make_unique<platform::DynamicLibrary>(LibraryName(library), programFolder_);
    loaded.entry = reinterpret_cast<ArchiverEntryPoint>(opened->Symbol(EntryPointName(library)));
    loaded.library = std::move(opened);
  }
  return loaded.entry;
}

void Archivers::Load(Library library) {
  EntryPoint(library);
}

Result Archivers::Run(Library library, const std::string& commandLine) {
  return Call(EntryPoint(library), 0, commandLine);
}

Result Archivers::RunUnlha(uint32_t window, const std::string& strCommandLine) {
  return Call(EntryPoint(Library::kUnlha), window, strCommandLine);
}

Result Archivers::RunSevenZip(uint32_t window, const std::string& strCommandLine) {
  return Call(EntryPoint(Library::kSevenZip), window, strCommandLine);
}

}  // namespace Unlha32
