// Writing one member: its header, then for a file the data compressed with
// the chosen method, or stored when compression does not make it smaller.
#pragma once

#include <optional>

#include "archlib/tree_walk.h"
#include "lha/method.h"
#include "lha/out_file.h"
#include "lha/verify.h"

namespace lha {

// Writes the entry at the end of out and returns what reading it back must
// give. Throws archlib::Failure when a file cannot be read.
ExpectedMember WriteMember(const archlib::TreeEntry& entry, const Method& method,
                           std::optional<uint32_t> codePage, OutFile& out);

}  // namespace lha
