// Where an archive's own layout says it ends, against where its file ends.
// The general reader (libarchive) forgives an LHA archive that lacks the 0
// byte ending it, and gives no reason at all for a 7z archive whose header
// lies past the end of its file, as in one cut short. These checks name
// what is wrong instead: each returns "" when nothing is, else a phrase for
// a message ("the archive ends early: ..."). Files are read with pread, so
// a reader's use of the descriptor is undisturbed. Throw platform::Error
// when the file cannot be read.
#pragma once

#include <cstdint>
#include <string>

namespace archlib {

// An LHA archive open on fd whose last member ends at membersEnd: the end
// marker must follow there.
std::string LhaEndProblem(int fd, uint64_t membersEnd, const std::string& name);

// A 7z archive open on fd: the header its start header places must lie
// within the file. "" for a file that is no 7z archive at all.
std::string SevenZEndProblem(int fd, const std::string& name);

}  // namespace archlib
