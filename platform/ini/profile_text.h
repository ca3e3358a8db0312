// A profile file's bytes as the INI engine (platform/ini/ini_document.h) reads
// them: text in the system's code page (platform/codepage.h). The POSIX
// profile functions read and edit every file through it; on Windows, where
// kernel32 reads the file, it gives other readers the same text. A file in that code page, or in
// UTF-8 behind its byte-order mark (which the engine skips), is read as it
// is. A file that starts with a UTF-16 byte-order mark, little-endian (FF FE)
// or big-endian (FE FF), as Windows' Notepad saves "Unicode", is read as its
// characters in the code page, one the code page lacks becoming '?' as on
// Windows; it is edited in UTF-16 with the same mark, and only the lines an
// edit touches change: every other byte of the file stays as it was.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini/ini_document.h"

namespace platform::ini {

class ProfileText {
 public:
  enum class Encoding { kCodePage, kUtf16LittleEndian, kUtf16BigEndian };
  // The encoding of a file whose first bytes are start.
  static Encoding EncodingOf(std::string_view start);
  // The size of a UTF-16 byte-order mark.
  static constexpr size_t kMarkSize = 2;
  // The text of UTF-16 code units in a file's encoding, for a reader that
  // decodes a file piece by piece (each piece ended after a line break, the
  // last one after the mark); an odd last byte is no unit.
  static std::string Utf16Text(std::string_view units, Encoding encoding);
  // The same units in UTF-8, every character kept (an unpaired surrogate
  // becomes U+FFFD, as Windows converts it).
  static std::string Utf16AsUtf8(std::string_view units, Encoding encoding);

  explicit ProfileText(std::string bytes);

  // The text the engine reads and edits.
  std::string_view Text() const {
    return encoding_ == Encoding::kCodePage ? std::string_view(bytes_) : text_;
  }

  // The file's bytes with splices of Text() made, in the file's encoding.
  // Throws platform::Error when the lines of a UTF-16 file cannot be matched
  // with those of its text, rather than write a file it has not read right.
  std::string Edited(const ini::Splices& splices) const;

 private:
  std::string bytes_;
  Encoding encoding_;
  std::string text_;  // the text of a UTF-16 file
};

}  // namespace platform::ini
