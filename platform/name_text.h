// Names as the archiver libraries take them from a command line, store
// them in an archive and show them in a message. The command line and the
// messages are in the system's code page (the ANSI code page on Windows,
// the locale's codeset on POSIX); the file layer's paths are in its own form
// (platform/folder_names.h): the same bytes on POSIX, UTF-8 on Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The system's code page as archive headers number it: 932, 65001, ...;
// nothing where readers know no number for it. On POSIX from the locale's
// codeset (plain ASCII and unknown locales are UTF-8, as the program takes
// them); on Windows the ANSI code page.
std::optional<uint32_t> SystemCodePage();

// Whether bytes are text in codePage: every byte part of a character, as a
// reader converting from it would find.
bool IsTextInCodePage(std::string_view bytes, uint32_t codePage);

// A path from a command line (the system's code page) in the layer's form.
// On Windows a byte that is no character of the code page throws
// platform::Error naming the path.
std::string PathFromCommandLine(std::string_view path);

// A name in the layer's form as an archive header stores it. In the
// system's code page, exactly, whenever it holds the name (on POSIX always:
// names are its bytes). A name the ANSI code page cannot hold exactly (a
// Korean or emoji character under code page 932) is never changed into '?'
// or a look-alike: it is stored in UTF-8, for the header to declare code
// page 65001.
struct ArchiveName {
  std::string bytes;
  bool inSystemCodePage = true;  // false: bytes are UTF-8
};
ArchiveName NameForArchive(std::string_view name);

// A name in the layer's form as UTF-16 (for formats that store UTF-16); a
// byte that is no character of the code page becomes U+FFFD. On POSIX in
// the thread's locale, as the C library converts (the caller holds a
// platform::ThreadLocale of the environment); on Windows from UTF-8.
std::u16string NameInUtf16(std::string_view name);
// The name a reader in the same code page gives for a UTF-16 name: a
// character the code page lacks becomes '?'.
std::string NameFromUtf16(std::u16string_view name);

// A path in the layer's form as a message in the system's code page names
// it: a character the code page lacks becomes '?', never a look-alike.
std::string ShownPath(std::string_view path);

}  // namespace platform
