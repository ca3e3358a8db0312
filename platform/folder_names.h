// The names in one folder, for the archiver libraries' walk of a target,
// and the path of a name in a folder. The walk never follows a link or
// reparse point below its target: each name is inspected as itself
// (platform/file_info.h, Links::kNotFollowed).
//
// Paths and names are in the layer's form: on POSIX the system's bytes, as
// they are; on Windows UTF-8, converted exactly to and from the UTF-16 the
// system names files in, so that every name is found and opened whatever
// the ANSI code page lacks (platform/name_text.h turns a name into what an
// archive header stores).
#pragma once

#include <string>
#include <vector>

namespace platform {

// Every name in folder but "." and "..", in no particular order. Throws
// platform::Error "cannot open folder <path>: <reason>" or "cannot read
// folder <path>: <reason>".
std::vector<std::string> FolderNames(const std::string& folder);

// Whether c separates the components of a path in the layer's form: '/' on
// POSIX; '\' and '/' on Windows (where the layer's UTF-8 holds no '\' in
// the middle of a character).
bool IsPathSeparator(char c);

// How many bytes at the start of path are its root, which no trailing
// separator is cut from and which names no folder of its own: "/" on
// POSIX; "C:\", "C:", "\\server\share\" or "\" on Windows; 0 for a
// relative path.
size_t PathRootLength(const std::string& path);

// The path of name in folder, joined with the system's separator ('/' on
// POSIX, '\' on Windows).
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace platform
