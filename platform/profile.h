// The private-profile (INI file) functions. On Windows these are kernel32's
// own; on POSIX the same names and signatures are provided by
// platform/posix/profile.cpp, behaving as Windows' do wherever a caller can tell.
// All text crosses in the system's multibyte code page; a file in UTF-16
// with a byte-order mark is read and written as its text in it.
//
// Below them, the same functions in the program's text (UTF-8), which the
// settings object calls: on POSIX over the functions above; on Windows over
// kernel32's W functions, because its A functions hand a UTF-16 file's text
// over best fit into the ANSI code page (¥ reads as '\'). There a file's
// text reaches the program exactly as written, and a write of text the
// file's code page lacks turns the file into UTF-16 (its text unchanged)
// rather than changing the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>

// Copies the value of key in section (or def when missing) into out, at most
// size-1 bytes plus a NUL; returns the bytes copied without the NUL. A value
// or def in matching quotes comes without them. A null key lists the
// section's keys (def when it has none), a null section lists the sections.
// The section "" holds the lines before the first header.
uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* out,
                                  uint32_t size, const char* file);
// Writes key=value into section, creating file and section as needed. A null
// value removes the key; a null key removes the section. Non-zero on success.
int WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                               const char* file);
// The key's value read as an integer, or def.
unsigned int GetPrivateProfileIntA(const char* section, const char* key, int def, const char* file);
// The name of every section header in file order, repeated names included
// and empty ones left out, as a NUL-separated list ended by an empty item.
uint32_t GetPrivateProfileSectionNamesA(char* out, uint32_t size, const char* file);
// The key=value lines of a section as a NUL-separated list ended by an empty item.
uint32_t GetPrivateProfileSectionA(const char* section, char* out, uint32_t size, const char* file);

#endif

namespace platform {

// What a write does with a symbolic link (on Windows any reparse point) at
// the file's name. By default it follows it and rewrites the file it names,
// leaving the link as it is: the settings file is the user's, and may be a
// link into a dotfiles repository, say. The run's own record files refuse
// it, so that a link planted there never makes a run rewrite another file.
// On Windows the refusal is a look at the name just before kernel32 writes,
// so a link planted in between is followed; on POSIX the write itself never
// goes through a link.
enum class ProfileLinks { kFollow, kRefuse };

}  // namespace platform

#ifndef _WIN32
namespace platform {
// SetProfileValueUnderFreeKey and RemoveProfileKey in the system's code page.
std::optional<std::string> WriteProfileStringUnderFreeKey(const char* section, const char* key,
                                                          const char* value, const char* file,
                                                          std::string* failure,
                                                          ProfileLinks links = ProfileLinks::kFollow);
bool DeleteProfileKey(const char* section, const char* key, const char* file, ProfileLinks links,
                      std::string* failure);
}  // namespace platform
#endif

namespace platform {

// The n-th key a record keyed by key may take: key itself, then "<key> (2)",
// "<key> (3)", ...
inline std::string NumberedKey(std::string_view key, int n) {
  std::string numbered(key);
  if (n > 1) numbered += " (" + std::to_string(n) + ")";
  return numbered;
}

// The value of key in section (matching quotes taken off), or def when
// missing; at most 32766 characters of it.
std::string GetProfileValue(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& def);
// The value read as an integer (GetPrivateProfileInt), or def.
uint32_t GetProfileInteger(const std::string& file, const std::string& section,
                           const std::string& key, int def);
// The name of every section header in file order; the "key=value" lines of a
// section: each item followed by a NUL, the whole ended by an empty item (a
// list that starts with a NUL for a missing file or section).
std::string GetProfileSectionNames(const std::string& file);
std::string GetProfileSection(const std::string& file, const std::string& section);
// Writes key=value into section, creating file and section as needed;
// removes a key; removes a section. False when the file was not written
// (with the reason in *failure, where asked for); a file, section or key
// that is not there is removed already.
bool SetProfileValue(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value);
bool RemoveProfileKey(const std::string& file, const std::string& section, const std::string& key,
                      ProfileLinks links = ProfileLinks::kFollow, std::string* failure = nullptr);
bool RemoveProfileSection(const std::string& file, const std::string& section);

// Writes value under the first NumberedKey(key, n) whose value in section is
// missing or empty, so that no earlier record is replaced. Choosing the key
// and writing it are one step that no other writer of file (another process
// or thread) can come between. Returns the key written; nothing when file
// could not be written, with the reason in *failure.
std::optional<std::string> SetProfileValueUnderFreeKey(
    const std::string& file, const std::string& section, const std::string& key,
    const std::string& value, std::string* failure, ProfileLinks links = ProfileLinks::kFollow);

}  // namespace platform
