// Arbitrary bytes as a profile file, read through all five profile functions
// with areas of many sizes, then one write. Nothing may crash, leak, write past
// an area or report more bytes than it could hold; every write succeeds, and
// a UTF-16 file stays UTF-16.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/profile.h"

namespace {

std::string FuzzFileName() {
  const std::filesystem::path base =
      access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path();
  return (base / ("slotbackup-fuzz-" + std::to_string(getpid()) + ".ini")).string();
}

// One file per fuzzing process, on tmpfs when there is one (writes flush to
// disk), removed when the fuzzer exits.
const std::string& FuzzFile() {
  static const std::string file = [] {
    std::atexit([] { unlink(FuzzFileName().c_str()); });
    return FuzzFileName();
  }();
  return file;
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// An area of exactly size bytes, so AddressSanitizer sees any byte written past it.
void ReadAll(const char* section, const char* key, const char* file) {
  for (const uint32_t size : {0u, 1u, 2u, 3u, 7u, 64u, 32767u}) {
    std::unique_ptr<char[]> area(new char[size]);
    uint32_t n = GetPrivateProfileStringA(section, key, "default  ", area.get(), size, file);
    Check(size == 0 ? n == 0 : n < size && area[n] == '\0');
    n = GetPrivateProfileStringA(nullptr, key, "", area.get(), size, file);
    Check(size == 0 ? n == 0 : n < size && area[n] == '\0');
    n = GetPrivateProfileStringA(section, nullptr, "", area.get(), size, file);
    Check(size == 0 ? n == 0 : n < size && area[n] == '\0');
    n = GetPrivateProfileSectionNamesA(area.get(), size, file);
    Check(size == 0 ? n == 0 : n < size && area[n] == '\0');
    n = GetPrivateProfileSectionA(section, area.get(), size, file);
    Check(size == 0 ? n == 0 : n < size && area[n] == '\0');
  }
  GetPrivateProfileIntA(section, key, -1, file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string section = input.ConsumeRandomLengthString(16);
  const std::string key = input.ConsumeRandomLengthString(16);
  const std::string value = input.ConsumeRandomLengthString(64);
  const uint8_t operation = input.ConsumeIntegral<uint8_t>();
  const std::string content = input.ConsumeRemainingBytesAsString();

  const std::string& file = FuzzFile();
  std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
  ReadAll(section.c_str(), key.c_str(), file.c_str());

  switch (operation % 3) {
    case 0:
      Check(WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) !=
            0);
      break;
    case 1:
      Check(WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, file.c_str()) != 0);
      break;
    default:
      Check(WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, file.c_str()) != 0);
      break;
  }
  // A UTF-16 file stays UTF-16 in the same byte order.
  const std::string mark = content.substr(0, 2);
  if (mark == "\xFF\xFE" || mark == "\xFE\xFF") {
    std::ifstream written(file, std::ios::binary);
    char start[2] = {};
    written.read(start, 2);
    Check(written.gcount() == 2 && std::string(start, 2) == mark);
  }
  ReadAll(section.c_str(), key.c_str(), file.c_str());
  return 0;
}
