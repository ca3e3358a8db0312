// Reading a 7z archive with libarchive, as the check of a written archive
// and the carrying over of an old archive's entries both do.
#pragma once

#include <archive.h>

#include <memory>
#include <string>

namespace sevenzip {

using ArchiveReader = std::unique_ptr<archive, int (*)(archive*)>;

// A reader of the 7z archive at path; or of the one open as fd (named
// name), from its start, read through the descriptor so that the name may
// meanwhile stand for something else. Throws archlib::Failure.
ArchiveReader OpenSevenZ(const std::string& path);
ArchiveReader OpenSevenZ(int fd, const std::string& name);

// Throws archlib::Failure: `what`, and the reader's reason.
[[noreturn]] void FailReading(archive* reader, const std::string& what);

}  // namespace sevenzip
