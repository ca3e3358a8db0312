#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/posix/codepage.h"
#include "platform/posix/locale.h"
#include "platform/utf8.h"

namespace platform {
namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

bool IsUtf8Name(std::string_view name) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  std::string folded;
  for (char c : name) folded += lower(c);
  return folded == "utf-8" || folded == "utf8";
}

class Converter {
 public:
  Converter(const char* from, const char* to) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1)) {
      throw Error(std::string("Cannot convert text from ") + from + " to " + to + ": " +
                  SystemErrorText(errno));
    }
  }
  ~Converter() { iconv_close(handle_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  iconv_t get() const { return handle_; }

 private:
  iconv_t handle_;
};

// Text put out piece by piece into a buffer that grows as needed.
class Output {
 public:
  explicit Output(size_t room) : buffer_(room, '\0') {}

  char* end() { return buffer_.data() + written_; }
  size_t room() const { return buffer_.size() - written_; }
  void Grow(size_t more) { buffer_.resize(buffer_.size() * 2 + more + 16); }
  void Wrote(char* newEnd) { written_ = static_cast<size_t>(newEnd - buffer_.data()); }
  void Append(std::string_view bytes) {
    if (room() < bytes.size()) Grow(bytes.size());
    std::memcpy(end(), bytes.data(), bytes.size());
    written_ += bytes.size();
  }
  std::string Take() && {
    buffer_.resize(written_);
    return std::move(buffer_);
  }

 private:
  std::string buffer_;
  size_t written_ = 0;
};

// Converts text from one codeset to another. Where the source has bytes the
// conversion rejects (not valid in the source, or a character the target
// lacks), onInvalid(offset, rest, out) puts out what stands for them and
// returns how many bytes of rest it used, at least one.
template <typename OnInvalid>
std::string Convert(std::string_view text, const char* from, const char* to, OnInvalid onInvalid) {
  if (IsUtf8Name(from) && IsUtf8Name(to)) {
    // Runs of well-formed text are copied whole, usually all of it.
    Output out(text.size() + 16);
    for (size_t i = 0; i < text.size();) {
      size_t end = i;
      while (end < text.size()) {
        if (static_cast<unsigned char>(text[end]) < 0x80) {
          ++end;
        } else if (const size_t length = Utf8SequenceLength(text.substr(end))) {
          end += length;
        } else {
          break;
        }
      }
      out.Append(text.substr(i, end - i));
      i = end < text.size() ? end + onInvalid(end, text.substr(end), out) : end;
    }
    return std::move(out).Take();
  }

  Converter converter(from, to);
  Output out(text.size() * 2 + 16);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  while (inLeft > 0) {
    char* outPtr = out.end();
    size_t outLeft = out.room();
    const size_t result = iconv(converter.get(), &in, &inLeft, &outPtr, &outLeft);
    out.Wrote(outPtr);
    if (result != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) {
      out.Grow(0);
    } else if (errno == EILSEQ || errno == EINVAL) {
      const size_t offset = static_cast<size_t>(in - text.data());
      const size_t used = onInvalid(offset, std::string_view(in, inLeft), out);
      in += used;
      inLeft -= used;
    } else {
      throw Error(std::string("Cannot convert text from ") + from + " to " + to + ": " +
                  SystemErrorText(errno));
    }
  }
  // A stateful target may still owe the bytes that return it to its initial state.
  for (;;) {
    char* outPtr = out.end();
    size_t outLeft = out.room();
    const size_t result = iconv(converter.get(), nullptr, nullptr, &outPtr, &outLeft);
    out.Wrote(outPtr);
    if (result != static_cast<size_t>(-1) || errno != E2BIG) break;
    out.Grow(0);
  }
  return std::move(out).Take();
}

// ConvertCodeset's rule: a well-formed UTF-8 character the target lacks is
// skipped whole and shown as '?'; any other offending byte is skipped alone.
size_t Replace(std::string_view rest, bool fromUtf8, bool toUtf8, Output& out) {
  const size_t length = fromUtf8 ? Utf8SequenceLength(rest) : 0;
  out.Append(length > 0 ? "?" : (toUtf8 ? kReplacementUtf8 : std::string_view("?")));
  return length > 0 ? length : 1;
}

// The environment's codeset, fixed for the life of the process.
const std::string& SystemCodeset() {
  static const std::string codeset = posix::LocaleCodeset();
  return codeset;
}

}  // namespace

std::string ConvertCodeset(std::string_view text, const char* from, const char* to) {
  const bool fromUtf8 = IsUtf8Name(from), toUtf8 = IsUtf8Name(to);
  return Convert(text, from, to, [&](size_t, std::string_view rest, Output& out) {
    return Replace(rest, fromUtf8, toUtf8, out);
  });
}

std::string DecodeCodeset(std::string_view text, const char* codeset,
                          std::vector<size_t>* invalid) {
  return Convert(text, codeset, "UTF-8", [&](size_t offset, std::string_view rest, Output& out) {
    const unsigned char byte = static_cast<unsigned char>(rest[0]);
    if (invalid != nullptr) invalid->push_back(offset);
    std::string escaped;
    if (byte < 0x80) {
      escaped += static_cast<char>(byte);  // ASCII stands for itself in every code page
    } else {
      AppendEscapedByte(escaped, byte);
    }
    out.Append(escaped);
    return size_t{1};
  });
}

std::string EncodeCodeset(std::string_view utf8, const char* codeset) {
  const bool toUtf8 = IsUtf8Name(codeset);
  return Convert(utf8, "UTF-8", codeset, [&](size_t, std::string_view rest, Output& out) {
    if (const std::optional<unsigned char> byte = EscapedByte(rest)) {
      const char raw = static_cast<char>(*byte);
      out.Append(std::string_view(&raw, 1));
      return kEscapedByteLength;
    }
    return Replace(rest, true, toUtf8, out);
  });
}

std::string ToMultiByte(std::string_view utf8) {
  return EncodeCodeset(utf8, SystemCodeset().c_str());
}

std::string ToUtf8(std::string_view multiByte) {
  return DecodeCodeset(multiByte, SystemCodeset().c_str());
}

std::vector<size_t> InvalidBytes(std::string_view multiByte) {
  std::vector<size_t> invalid;
  DecodeCodeset(multiByte, SystemCodeset().c_str(), &invalid);
  return invalid;
}

std::optional<std::string> CharacterNotInCodePage(std::string_view utf8) {
  const char* codeset = SystemCodeset().c_str();
  const auto exact = [&](std::string_view text) {
    return DecodeCodeset(EncodeCodeset(text, codeset), codeset) == text;
  };
  if (exact(utf8)) return std::nullopt;
  for (size_t i = 0; i < utf8.size();) {
    const std::string_view rest = utf8.substr(i);
    const size_t length = EscapedByte(rest)          ? kEscapedByteLength
                          : Utf8SequenceLength(rest) ? Utf8SequenceLength(rest)
                                                     : 1;
    if (!exact(rest.substr(0, length))) return CharacterName(rest);
    i += length;
  }
  // Every character alone converts: the code page is one with states.
  return CharacterName(utf8);
}

std::string ToMultiByteExactly(std::string_view utf8) {
  if (const std::optional<std::string> character = CharacterNotInCodePage(utf8)) {
    throw Error(std::string(utf8) + " cannot be written in the system's code page (" +
                SystemCodeset() + "): it holds " + *character + ", which the code page lacks");
  }
  return ToMultiByte(utf8);
}

}  // namespace platform
