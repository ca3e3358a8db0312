#include "sevenzip/seven_z_names.h"

#include <climits>
#include <cwchar>

namespace sevenzip {

namespace {

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c >= 0x10000 && c <= 0x10FFFF) {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else if (c < 0x10000 && (c < 0xD800 || c > 0xDFFF)) {
    out += static_cast<char16_t>(c);
  } else {
    out += u'\uFFFD';
  }
}

}  // namespace

std::u16string ToUtf16(const std::string& name) {
  std::u16string out;
  std::mbstate_t state{};
  const char* p = name.data();
  size_t left = name.size();
  while (left > 0) {
    wchar_t c;
    size_t n = std::mbrtowc(&c, p, left, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      out += u'\uFFFD';
      state = {};
      n = 1;
    } else {
      if (n == 0) n = 1;
      AppendUtf16(out, static_cast<char32_t>(c));
    }
    p += n;
    left -= n;
  }
  return out;
}

std::u16string WideToUtf16(const wchar_t* name) {
  std::u16string out;
  for (; *name != L'\0'; ++name) AppendUtf16(out, static_cast<char32_t>(*name));
  return out;
}

std::string FromUtf16(const std::u16string& name) {
  std::string out;
  std::mbstate_t state{};
  char buffer[MB_LEN_MAX];
  for (size_t i = 0; i < name.size(); ++i) {
    char32_t c = name[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < name.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (name[++i] - 0xDC00);
    }
    const size_t n = std::wcrtomb(buffer, static_cast<wchar_t>(c), &state);
    if (n == static_cast<size_t>(-1)) {
      out += '?';
      state = {};
    } else {
      out.append(buffer, n);
    }
  }
  return out;
}

std::string WithoutSlash(const std::string& path) {
  return !path.empty() && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
}

}  // namespace sevenzip
