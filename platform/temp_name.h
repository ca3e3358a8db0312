// The one name of every temporary file the program and its archiver
// libraries create: ".slotbackup-<process id>-<16 hex digits>.tmp", in the
// folder of the file it is to replace. A file of exactly this form is ours
// and was abandoned when its process is gone, so a later run may remove it;
// nothing of any other name ever is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The name for a temporary file of process processId; random makes it
// unguessable (the caller creates it exclusively and draws again on a clash).
std::string TemporaryName(uint32_t processId, uint64_t random);

// The process id in name when name (a bare file name, no folder) is exactly
// of the form TemporaryName gives; nothing otherwise.
std::optional<uint32_t> TemporaryNameOwner(std::string_view name);

}  // namespace platform
