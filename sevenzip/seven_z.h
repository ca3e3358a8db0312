// Writing a 7z archive from target folders and files, carrying over the
// entries of an existing 7z archive that the targets do not replace, and
// reading a written archive back completely with libarchive, independently
// of the writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sevenzip/source.h"

struct archive;  // libarchive's reader

namespace sevenzip {

// What an entry must hold when the archive is read back.
struct Expected {
  std::string name;  // without a folder's trailing '/'
  uint64_t size = 0;
  uint32_t crc = 0;
  std::string link;  // a symbolic link's target; its data reads back empty
};

// An existing 7z archive being updated, open for reading. Its entries whose
// names no source takes are carried over, but for those with unsafe names
// (archlib/unsafe_name.h), whose number the writer puts in `dropped`.
struct SevenZOrigin {
  int fd = -1;
  std::string name;
  size_t dropped = 0;
};

// Writes the archive to fd, updating origin unless it is null. Throws
// archlib::Failure.
std::vector<Expected> WriteSevenZ(int fd, const std::string& name,
                                  const std::vector<Source>& sources, SevenZOrigin* origin);

// Reads every entry of the archive at path and checks that it holds exactly
// the expected entries with their sizes and CRCs.
void VerifySevenZ(const std::string& path, const std::vector<Expected>& expected);

}  // namespace sevenzip
