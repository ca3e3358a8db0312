#include "sevenzip/seven_z_names.h"

#include "platform/utf8.h"

namespace sevenzip {

std::u16string WideToUtf16(const wchar_t* name) {
  std::u16string out;
  for (; *name != L'\0'; ++name) platform::AppendUtf16(out, static_cast<char32_t>(*name));
  return out;
}

std::string WithoutSlash(const std::string& path) {
  return !path.empty() && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
}

}  // namespace sevenzip
