// Writing a ZIP archive (Deflate) from target folders and files, carrying
// over the entries of an existing archive that the targets do not replace.
#pragma once

#include <string>
#include <vector>

#include "sevenzip/source.h"
#include "sevenzip/zip_reader.h"

namespace sevenzip {

// Entries of an archive being updated: those whose names are not among the
// new entries are copied unchanged, ahead of the new ones.
struct ZipOrigin {
  int fd;
  std::string name;
  std::vector<ZipRecord> records;
};

// Writes the archive to fd (positioned at its start) and returns the
// central directory it wrote. Throws archlib::Failure.
std::vector<ZipRecord> WriteZip(int fd, const std::string& name, const std::vector<Source>& sources,
                                const ZipOrigin* origin);

}  // namespace sevenzip
