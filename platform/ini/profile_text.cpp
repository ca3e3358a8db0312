#include "platform/ini/profile_text.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/utf8.h"

namespace platform::ini {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The code units of UTF-16 bytes; a last odd byte is no unit.
std::u16string Units(std::string_view bytes, bool bigEndian) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  return units;
}

std::string Bytes(std::u16string_view units, bool bigEndian) {
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

// UTF-16 bytes (a last odd byte is no unit) to the program's text; an
// unpaired surrogate becomes U+FFFD, as Windows converts it.
std::string Utf8Of(std::string_view bytes, bool bigEndian) {
  const size_t count = bytes.size() / 2;
  const auto unit = [&](size_t i) -> char32_t {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    return bigEndian ? (first << 8) | second : (second << 8) | first;
  };
  std::string utf8;
  utf8.reserve(count + count / 2);
  for (size_t i = 0; i < count; ++i) {
    char32_t c = unit(i);
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
      continue;
    }
    if (IsHighSurrogate(c) && i + 1 < count && IsLowSurrogate(unit(i + 1))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(++i) - 0xDC00);
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = kReplacement;
    }
    platform::AppendUtf8(utf8, c);
  }
  return utf8;
}

// The program's text to UTF-16; what is not well-formed UTF-8 (escaped bytes
// included: UTF-16 has no room for bytes) becomes U+FFFD.
std::u16string Utf16Of(std::string_view utf8) {
  std::u16string units;
  units.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const size_t length = platform::Utf8SequenceLength(utf8.substr(i));
    if (length == 0) {
      units += static_cast<char16_t>(kReplacement);
      i += platform::EscapedByte(utf8.substr(i)) ? platform::kEscapedByteLength : 1;
      continue;
    }
    const auto byte = [&](size_t k) { return static_cast<char32_t>(utf8[i + k] & 0x3F); };
    const auto lead = static_cast<unsigned char>(utf8[i]);
    char32_t c = length == 1   ? lead
                 : length == 2 ? ((lead & 0x1Fu) << 6) | byte(1)
                 : length == 3
                     ? ((lead & 0x0Fu) << 12) | (byte(1) << 6) | byte(2)
                     : ((lead & 0x07u) << 18) | (byte(1) << 12) | (byte(2) << 6) | byte(3);
    if (c >= 0x10000) {
      c -= 0x10000;
      units += static_cast<char16_t>(0xD800 + (c >> 10));
      units += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      units += static_cast<char16_t>(c);
    }
    i += length;
  }
  return units;
}

// Where the lines of a text start, by the engine's rule (LF, CRLF and a lone
// CR each end a line), with the end of the text last: the offsets the
// lines of a UTF-16 file and of its text have in common.
template <typename Char>
std::vector<size_t> LineBounds(std::basic_string_view<Char> text) {
  std::vector<size_t> bounds{0};
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == Char('\r') && i + 1 < text.size() && text[i + 1] == Char('\n')) ++i;
    if (text[i] == Char('\r') || text[i] == Char('\n')) bounds.push_back(i + 1);
  }
  if (bounds.back() != text.size()) bounds.push_back(text.size());
  return bounds;
}

}  // namespace

ProfileText::Encoding ProfileText::EncodingOf(std::string_view start) {
  const std::string_view mark = start.substr(0, kMarkSize);
  return mark == "\xFF\xFE"   ? Encoding::kUtf16LittleEndian
         : mark == "\xFE\xFF" ? Encoding::kUtf16BigEndian
                              : Encoding::kCodePage;
}

std::string ProfileText::Utf16Text(std::string_view units, Encoding encoding) {
  return platform::ToMultiByte(Utf16AsUtf8(units, encoding));
}

std::string ProfileText::Utf16AsUtf8(std::string_view units, Encoding encoding) {
  return Utf8Of(units, encoding == Encoding::kUtf16BigEndian);
}

ProfileText::ProfileText(std::string bytes)
    : bytes_(std::move(bytes)), encoding_(EncodingOf(bytes_)) {
  if (encoding_ != Encoding::kCodePage) {
    text_ = Utf16Text(std::string_view(bytes_).substr(kMarkSize), encoding_);
  }
}

std::string ProfileText::Edited(const ini::Splices& splices) const {
  if (encoding_ == Encoding::kCodePage) return ini::Applied(bytes_, splices);
  const bool bigEndian = encoding_ == Encoding::kUtf16BigEndian;

  const std::string_view body = std::string_view(bytes_).substr(kMarkSize);
  const std::u16string units = Units(body, bigEndian);
  const std::vector<size_t> textBounds = LineBounds(std::string_view(text_));
  const std::vector<size_t> unitBounds = LineBounds(std::u16string_view(units));
  if (textBounds.size() != unitBounds.size()) {
    throw platform::Error("The lines of the UTF-16 profile file do not match its text");
  }
  // The index of the line bound at or before / at or after offset.
  const auto boundBefore = [&](size_t offset) {
    return static_cast<size_t>(std::upper_bound(textBounds.begin(), textBounds.end(), offset) -
                               textBounds.begin() - 1);
  };
  const auto boundAfter = [&](size_t offset) {
    return static_cast<size_t>(std::lower_bound(textBounds.begin(), textBounds.end(), offset) -
                               textBounds.begin());
  };

  std::string out(bytes_.substr(0, kMarkSize));
  size_t keptUnits = 0;
  for (size_t i = 0; i < splices.size();) {
    // The whole lines the splice touches, joined with those of any later
    // splice that touches one of them.
    const size_t first = boundBefore(splices[i].begin);
    size_t last = boundAfter(splices[i].end);
    std::string lines(text_.substr(textBounds[first], splices[i].begin - textBounds[first]));
    for (;;) {
      lines += splices[i].replacement;
      const size_t next = i + 1 < splices.size() ? splices[i + 1].begin : text_.size();
      if (i + 1 >= splices.size() || next >= textBounds[last]) {
        lines += text_.substr(splices[i].end, textBounds[last] - splices[i].end);
        ++i;
        break;
      }
      lines += text_.substr(splices[i].end, next - splices[i].end);
      ++i;
      last = std::max(last, boundAfter(splices[i].end));
    }
    out += Bytes(std::u16string_view(units).substr(keptUnits, unitBounds[first] - keptUnits),
                 bigEndian);
    out += Bytes(Utf16Of(platform::ToUtf8(lines)), bigEndian);
    keptUnits = unitBounds[last];
  }
  out += Bytes(std::u16string_view(units).substr(keptUnits), bigEndian);
  if (body.size() % 2 != 0) out += body.back();  // an odd last byte stays last
  return out;
}

}  // namespace platform::ini
