// Entry names of an existing archive that a reader would extract outside the
// folder it extracts into: absolute names and names with a ".." component.
// An update never carries such an entry into the new archive, and its
// result message says how many it left out. The same test tells whether a
// name joined to a folder leaves that folder: slotbackup-check holds the
// names of archives and fixed-name copies to it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace archlib {

// True for a name that starts at a root ('/' or '\') or a drive ("C:"), or
// that has a component "..". '\' separates components as well as '/', since
// Windows readers take it so.
bool IsUnsafeName(std::string_view name);

// What a result message adds for `dropped` such entries: "" for none, else
// " and dropped 2 unsafe names".
std::string DroppedNote(size_t dropped);

}  // namespace archlib
