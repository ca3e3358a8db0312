// The archiver's one command: a "<archive>" "<target>" ... adds the targets
// to the archive, creating or updating it. The format follows the archive's
// extension (platform/archive_format.h): .zip is ZIP with Deflate, anything
// else is 7z, always written at exactly the path given. The archive is
// written to a temporary file beside it, read back completely and only then
// renamed into place, so that on any failure an archive already there stays
// as it was.
#pragma once

#include <string>
#include <string_view>

namespace sevenzip {

// Returns the one-line report of a completed command; throws
// archlib::Failure with the reason otherwise.
std::string RunAdd(std::string_view commandLine);

}  // namespace sevenzip
