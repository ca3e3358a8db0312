// Writing a 7z archive on several cores: the entries' data is split in
// order into solid blocks (folders) of about equal size, each compressed
// with LZMA2 on a thread of its own, and the container is assembled from
// them. The folders are as many as the threads, so the archive's bytes
// depend on how many there are.
// The first folder is compressed straight into the archive, the others into
// temporary files beside it that are appended afterwards, so memory stays
// bounded whatever the size of the data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sevenzip/seven_z.h"
#include "sevenzip/source.h"

namespace sevenzip {

struct SevenZOptions {
  unsigned threads = 0;               // folders at most; 0 leaves it to archlib::WorkerThreads
  uint64_t minFolderBytes = 4 << 20;  // smaller shares are not worth a folder of their own
  // LZMA2 level. 7 is level 6 with a 16 MiB dictionary: as fast, and it
  // finds repeats that lie further apart.
  uint32_t preset = 7;
};

// Writes the archive to fd. Unless origin is null, the entries of the
// existing 7z archive it holds open that no source replaces are carried over
// (recompressed), but for those with unsafe names, counted in
// origin->dropped. Names are taken in the environment's locale
// (platform::posix::ThreadLocale). Returns what each entry must read back
// as. Throws archlib::Failure.
std::vector<Expected> WriteSevenZFolders(int fd, const std::string& name,
                                         const std::vector<Source>& sources, SevenZOrigin* origin,
                                         const SevenZOptions& options = {});

}  // namespace sevenzip
