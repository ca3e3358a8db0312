// Reading an archive back in full with an independent reader (libarchive):
// every member's header and every byte of its data, so that a damaged
// header, a short file or a CRC that does not match its data surfaces, and
// the end the archive's own layout gives it (archlib/archive_end.h), which
// libarchive forgives an LHA archive and names for no 7z archive.
// Where no such reader is built (Windows), nothing can be read back.
#pragma once

#include <cstdint>
#include <string>

namespace check {

// Whether this build can read archives back at all.
bool CanReadBack();

struct ReadBack {
  bool found = false;  // a regular file is at the path
  bool whole = false;  // every member read to its end without an error
  uint64_t members = 0;
  uint64_t bytes = 0;  // of the members' data, as read
  // When not whole: the member whose data was being read when the reader
  // failed, or else the last one read before a header it could not read
  // (`after`; empty when it failed at the first), and the reader's message.
  // When not found: why.
  std::string member;
  std::string after;
  std::string message;
};

// LHA (.lzh), ZIP and 7z, told apart by their contents. path in UTF-8.
ReadBack ReadArchiveBack(const std::string& path);

}  // namespace check
