// The ZIP records this writer makes: a new entry's record from what the walk
// found (DOS time, UTF-8 flag, Unix permissions, extended time), its local
// header, its central directory record, and the end records, with ZIP64
// fields wherever a size, offset or count needs them.
#pragma once

#include <cstdint>
#include <string>

#include "sevenzip/byte_io.h"
#include "sevenzip/source.h"
#include "sevenzip/zip_reader.h"

namespace sevenzip {

// The record of a source, without its data's method, CRC, sizes and offset.
ZipRecord NewRecord(const Source& s);

// The local header; with zip64, the sizes are in a ZIP64 field (16 bytes)
// and the 32-bit ones are marked 0xFFFFFFFF.
std::string LocalHeader(const ZipRecord& r, bool zip64);
// Fills in the CRC and sizes of the local header written at r.localOffset,
// as LocalHeader(r, zip64) made it, once the data is known.
void PatchLocalHeader(FileWriter& out, const ZipRecord& r, bool zip64);

void AppendCentral(std::string& out, const ZipRecord& r);
void AppendEnd(std::string& out, uint64_t count, uint64_t cdOffset, uint64_t cdSize);

}  // namespace sevenzip
