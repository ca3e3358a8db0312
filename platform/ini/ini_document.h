// The text of a profile (INI) file read and edited the way Windows' profile
// functions treat it, on bytes in the system's multibyte code page:
// - section and key names match regardless of ASCII letter case, with blanks
//   and tabs around names and values ignored;
// - lines whose first non-blank character is ';' are comments, a line without
//   '=' is not a key, the first of duplicate keys wins and only the first of
//   duplicate sections is read;
// - LF, CRLF and lone CR all end a line; a UTF-8 byte-order mark is skipped;
//   a NUL byte ends what a line means (the bytes after it are kept, unread);
// - the lines before the first header form the section with the empty name,
//   which comes before every other; a header with an empty name ("[]") is a
//   section of its own that is never listed, and since the first section of
//   a name is the one read, its keys are never found.
// Edits change only the bytes they must: every other byte (comments, blank
// lines, order, spelling of names, line-ending style) stays as it was. A
// line an edit adds always ends with a line break; a file whose last line
// lacks one keeps it that way unless a line is added after it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ini {

// A value without one pair of matching enclosing quotes (" or '), as values
// and defaults are given out.
std::string_view Unquoted(std::string_view value);

// The value of key in the first section named section, Unquoted; nothing
// when the key is missing.
std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key);

// FindValue on the start of a file, cut after a line break, whose rest is not
// read yet. settled tells whether the rest could change the answer: it cannot
// once the key is found or the section has ended within the start. When it is
// not settled, a later call on a longer start may begin at resume, which the
// lines before it cannot change.
struct PartialLookup {
  std::optional<std::string_view> value;
  bool settled = false;
  size_t resume = 0;
};
PartialLookup FindValueInStart(std::string_view start, std::string_view section,
                               std::string_view key, size_t from = 0);

// The name of every section header in file order, as Windows lists them:
// repeated and differently cased names each time they appear, headers with
// an empty name left out.
std::vector<std::string_view> SectionNames(std::string_view text);

// Every key name of the first section named section once, in file order.
std::vector<std::string_view> KeyNames(std::string_view text, std::string_view section);

// The lines of the first section named section, comments and blank lines
// left out: "key=value" for keys (value as written, quotes kept), the line
// itself for a line without '='.
std::vector<std::string> SectionLines(std::string_view text, std::string_view section);

// An edit of a text: the bytes [begin, end) give way to replacement.
struct Splice {
  size_t begin = 0;
  size_t end = 0;
  std::string replacement;
};
// The edits return their splices in order, none overlapping another; none
// when the text would not change. Applied gives the edited text.
using Splices = std::vector<Splice>;
std::string Applied(std::string_view text, const Splices& splices);

// SetValue replaces the value of an existing key in place, or adds "key=value"
// after the last non-blank line of the section (before the blank lines that
// close it; at the very start for a section with the empty name and no
// lines), or adds the section with the key at the end of the text. New
// lines end like the line before them, else like the file's first line, else
// CRLF; a last line without a line break, when a new line follows it, gets
// the break new lines get. Line breaks inside names or the value become blanks, so a value can
// never add lines of its own to the file.
Splices SetValue(std::string_view text, std::string_view section, std::string_view key,
                 std::string_view value);
// Removes every line of the key from the first section named section.
Splices DeleteKey(std::string_view text, std::string_view section, std::string_view key);
// Removes every section named section, from its header up to the next header.
Splices DeleteSection(std::string_view text, std::string_view section);

}  // namespace platform::ini
