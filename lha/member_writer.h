// Writing one member: its header, then for a file the data compressed with
// the chosen method, or stored when compression does not make it smaller.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archlib/tree_walk.h"
#include "lha/encoder.h"
#include "lha/header.h"
#include "lha/method.h"
#include "lha/out_file.h"
#include "lha/verify.h"
#include "platform/posix/regular_file.h"

namespace lha {

// A member's file: a regular file, read no further than its size when
// opened.
using InputFile = platform::posix::RegularFile;

class MemberWriter {
 public:
  MemberWriter(const Method& method, std::optional<uint32_t> codePage, OutFile& out);

  // Writes the entry at the end of out and returns what reading it back
  // must give. Throws archlib::Failure when a file cannot be read.
  ExpectedMember Write(const archlib::TreeEntry& entry);

 private:
  bool Compress(InputFile& in, const std::string& path, MemberHeader& h);
  void Store(InputFile& in, const std::string& path, MemberHeader& h);

  const Method& method_;
  std::optional<uint32_t> codePage_;
  OutFile& out_;
  Encoder encoder_;
  std::vector<uint8_t> buffer_;
};

}  // namespace lha
