#include "lha/name_codepage.h"

#include <iconv.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/utf8.h"

namespace lha {

namespace {

bool IsUtf8(std::string_view name) {
  while (!name.empty()) {
    const size_t n = platform::Utf8SequenceLength(name);
    if (n == 0) return false;
    name.remove_prefix(n);
  }
  return true;
}

// Whether the C library converts name from the code page to UTF-8, as
// libarchive does when it reads the name back.
bool Converts(std::string_view name, uint32_t codePage) {
  const std::string from = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in(name);
  std::vector<char> out(in.size() * 4 + 4);
  char* inPtr = in.data();
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  const bool ok =
      iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
  iconv_close(cd);
  return ok;
}

}  // namespace

std::optional<uint32_t> CodePageOfName(std::string_view name, std::optional<uint32_t> system) {
  if (std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; })) return system;
  if (!system) return kEveryByteCodePage;
  const bool text = *system == 65001 ? IsUtf8(name) : Converts(name, *system);
  return text ? system : std::optional<uint32_t>(kEveryByteCodePage);
}

}  // namespace lha
