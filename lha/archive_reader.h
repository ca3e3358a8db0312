// Reading the member list of an existing LHA archive (header levels 0, 1
// and 2) so that its members can be carried over byte for byte.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/open_file.h"

namespace lha {

struct StoredMember {
  uint64_t offset = 0;  // of the header in the archive
  uint64_t size = 0;    // header and data together
  std::string path;     // '/'-separated, no trailing '/', link target removed
  std::string method;   // e.g. "-lh5-"
  uint64_t originalSize = 0;
  uint16_t crc = 0;
};

// Lists the members of the archive open as file, whose size is fileSize.
// Throws archlib::Failure naming `name` when it is not a well-formed LHA
// archive, so that such a file is never replaced by mistake.
std::vector<StoredMember> ListMembers(const platform::OpenFile& file, uint64_t fileSize,
                                      const std::string& name);

// Hands `size` bytes at `offset` of the archive open as file to sink.
void CopyBytes(const platform::OpenFile& file, uint64_t offset, uint64_t size,
               const std::function<void(const uint8_t*, size_t)>& sink, const std::string& name);

}  // namespace lha
