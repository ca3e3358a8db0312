#include "platform/utf8.h"

#include <cstdint>

namespace platform {

size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

char32_t CodePoint(std::string_view text) {
  const size_t length = Utf8SequenceLength(text);
  const unsigned lead = static_cast<unsigned char>(text[0]);
  char32_t c = length <= 1 ? lead : lead & (0x7Fu >> length);
  for (size_t i = 1; i < length; ++i) c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3Fu);
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  const auto put = [&](uint32_t bits) { out += static_cast<char>(bits); };
  if (c < 0x80) {
    put(c);
  } else if (c < 0x800) {
    put(0xC0 | (c >> 6));
    put(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    put(0xE0 | (c >> 12));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  } else {
    put(0xF0 | (c >> 18));
    put(0x80 | ((c >> 12) & 0x3F));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  }
}

void AppendEscapedByte(std::string& out, unsigned char byte) {
  AppendUtf8(out, 0xDC00 + byte);
}

std::optional<unsigned char> EscapedByte(std::string_view text) {
  if (text.size() < kEscapedByteLength) return std::nullopt;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  // U+DC80..U+DCFF: ED B2 80..BF and ED B3 80..BF.
  if (byte(0) != 0xED || (byte(1) != 0xB2 && byte(1) != 0xB3)) return std::nullopt;
  if (byte(2) < 0x80 || byte(2) > 0xBF) return std::nullopt;
  return static_cast<unsigned char>(((byte(1) & 0x01) << 6) + (byte(2) & 0x3F) + 0x80);
}

std::string Printable(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (const std::optional<unsigned char> byte = EscapedByte(text.substr(i))) {
      out += "\\x";
      out += kHex[*byte >> 4];
      out += kHex[*byte & 0x0F];
      i += kEscapedByteLength;
    } else if (const size_t length = Utf8SequenceLength(text.substr(i))) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

std::string CharacterName(std::string_view text) {
  const size_t length = Utf8SequenceLength(text);
  if (length == 0 || EscapedByte(text)) {
    return Printable(text.substr(0, EscapedByte(text) ? kEscapedByteLength : 1));
  }
  const uint32_t c = CodePoint(text);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string code;  // at least four digits
  for (uint32_t rest = c; rest != 0 || code.size() < 4; rest >>= 4) {
    code.insert(code.begin(), kHex[rest & 0xF]);
  }
  return std::string(text.substr(0, length)) + " (U+" + code + ")";
}

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

}  // namespace platform
