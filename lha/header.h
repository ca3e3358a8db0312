// Level-2 member headers: the fixed part with the Unix modification time,
// then extended headers for the header CRC, file and folder names, the code
// page of the names, and the Unix permissions and owner ids.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/archive_format.h"

namespace lha {

struct MemberHeader {
  enum class Kind { kFile, kDirectory, kSymlink };
  Kind kind = Kind::kFile;
  char method[6] = "-lh0-";
  uint64_t packedSize = 0;
  uint64_t originalSize = 0;
  int64_t mtime = 0;
  uint16_t crc = 0;        // of the data
  std::string path;        // '/'-separated, no trailing '/'
  std::string linkTarget;  // for kSymlink
  uint32_t mode = 0;       // st_mode
  std::optional<uint32_t> uid, gid;
  std::optional<uint32_t> codePage;  // 65001, 932, ...
};

// The name as stored: the path, and for a link "path|target".
std::string StoredName(const MemberHeader& header);

// The encoded header. Its size depends only on the names, ids and code
// page, so a placeholder can be written before the data and replaced after.
// Throws archlib::Failure when a size or name does not fit the format, or
// a folder's name holds the byte 0xFF that separates folder names.
std::vector<uint8_t> EncodeHeader(const MemberHeader& header);

// The largest size a member's data may have: the fields are 32 bits wide.
inline constexpr uint64_t kMaxMemberSize = platform::kLhaLargestFile;

}  // namespace lha
