// One member: its header, made from what the tree walk found, and its data,
// the file compressed with the chosen method, or stored when compression
// does not make it smaller. The data depends on the file's contents alone,
// so members can be compressed on any thread, in any order, and still make
// the same archive.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archlib/tree_walk.h"
#include "lha/encoder.h"
#include "lha/header.h"
#include "lha/method.h"
#include "platform/input_file.h"

namespace lha {

// A member's file: a regular file, read no further than its size when
// opened.
using InputFile = platform::InputFile;

// The header of an entry, all but what its data fills in.
MemberHeader HeaderOf(const archlib::TreeEntry& entry, std::optional<uint32_t> codePage);

// Where a member's data goes, piece by piece.
class DataSink {
 public:
  virtual ~DataSink() = default;
  virtual void Write(const uint8_t* data, size_t size) = 0;
  // Everything written so far is dropped: the data is stored instead.
  virtual void Restart() = 0;
};

// What a member's data became: what its header records of it.
struct PackedData {
  char method[6] = "-lh0-";
  uint64_t originalSize = 0;
  uint64_t packedSize = 0;
  uint16_t crc = 0;

  void ApplyTo(MemberHeader& header) const;
};

class MemberPacker {
 public:
  explicit MemberPacker(const Method& method);

  // Reads the file at `path` and writes its data to sink; a file that
  // changed while it was read is read once more (the sink restarted).
  // Throws archlib::ReadFault when the file cannot be read, changed again,
  // or is too large for the format: its member is left out.
  PackedData Pack(const std::string& path, DataSink& sink);

 private:
  PackedData PackOnce(const std::string& path);
  bool Compress(InputFile& in, const std::string& path, PackedData& packed, bool& whole);
  PackedData Store(InputFile& in, const std::string& path);

  const Method& method_;
  DataSink* sink_ = nullptr;
  Encoder encoder_;
  std::vector<uint8_t> buffer_;
};

}  // namespace lha
