// The `a` command: add targets to an archive, creating it when missing.
// The new archive is built in a temporary file beside the old one, read
// back completely and only then renamed over it.
#pragma once

#include <string>

#include "lha/command.h"

namespace lha {

// Returns the one-line success message; throws archlib::Failure.
std::string AddToArchive(const Command& command);

}  // namespace lha
