#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "platform/codepage.h"
#include "platform/codepage_posix.h"
#include "platform/error.h"
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

// UTF-8 to UTF-8: copies well-formed text and replaces each invalid byte.
std::string RepairUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t length = Utf8SequenceLength(text.substr(i));
    if (length == 0) {
      out += kReplacementUtf8;
      ++i;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
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

}  // namespace

std::string ConvertCodeset(std::string_view text, const char* from, const char* to) {
  const bool fromUtf8 = IsUtf8Name(from);
  const bool toUtf8 = IsUtf8Name(to);
  if (fromUtf8 && toUtf8) return RepairUtf8(text);

  Converter converter(from, to);
  std::string out(text.size() * 2 + 16, '\0');
  size_t written = 0;
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  const auto emit = [&](std::string_view bytes) {
    if (out.size() - written < bytes.size()) out.resize(out.size() * 2 + bytes.size());
    std::memcpy(out.data() + written, bytes.data(), bytes.size());
    written += bytes.size();
  };

  while (inLeft > 0) {
    char* outPtr = out.data() + written;
    size_t outLeft = out.size() - written;
    const size_t result = iconv(converter.get(), &in, &inLeft, &outPtr, &outLeft);
    written = static_cast<size_t>(outPtr - out.data());
    if (result != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) {
      out.resize(out.size() * 2 + 16);
    } else if (errno == EILSEQ || errno == EINVAL) {
      // A well-formed UTF-8 character the target lacks is skipped whole and
      // shown as '?'; any other offending byte is skipped alone.
      const size_t length = fromUtf8 ? Utf8SequenceLength(std::string_view(in, inLeft)) : 0;
      emit(length > 0 ? "?" : (toUtf8 ? kReplacementUtf8 : std::string_view("?")));
      const size_t skip = length > 0 ? length : 1;
      in += skip;
      inLeft -= skip;
    } else {
      throw Error(std::string("Cannot convert text from ") + from + " to " + to + ": " +
                  SystemErrorText(errno));
    }
  }
  // A stateful target may still owe the bytes that return it to its initial state.
  for (;;) {
    char* outPtr = out.data() + written;
    size_t outLeft = out.size() - written;
    const size_t result = iconv(converter.get(), nullptr, nullptr, &outPtr, &outLeft);
    written = static_cast<size_t>(outPtr - out.data());
    if (result != static_cast<size_t>(-1) || errno != E2BIG) break;
    out.resize(out.size() * 2 + 16);
  }
  out.resize(written);
  return out;
}

namespace {

// The environment's codeset, fixed for the life of the process.
const std::string& SystemCodeset() {
  static const std::string codeset = posix::LocaleCodeset();
  return codeset;
}

}  // namespace

std::string ToMultiByte(std::string_view utf8) {
  return ConvertCodeset(utf8, "UTF-8", SystemCodeset().c_str());
}

std::string ToUtf8(std::string_view multiByte) {
  return ConvertCodeset(multiByte, SystemCodeset().c_str(), "UTF-8");
}

}  // namespace platform
