// Reading a ZIP archive through a file descriptor: its central directory,
// each entry's raw bytes (to carry entries over unchanged on update) and a
// full check of every entry's data against its size and CRC.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sevenzip {

// One central directory record, with ZIP64 sizes and offset already resolved.
struct ZipRecord {
  std::string name;
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t dosDateTime = 0;  // time in the low half, date in the high half
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t size = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  std::string extra;  // central extra fields without the ZIP64 field
  std::string comment;
  uint64_t localOffset = 0;
};

// Flag bits and methods used here.
inline constexpr uint16_t kFlagEncrypted = 1 << 0;
inline constexpr uint16_t kFlagDataDescriptor = 1 << 3;
inline constexpr uint16_t kFlagUtf8 = 1 << 11;
inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflate = 8;

// Throws archlib::Failure when the file is not a ZIP archive or is damaged.
std::vector<ZipRecord> ReadCentralDirectory(int fd, const std::string& name);

// The span of an entry in the file, from its local header to the end of its
// data descriptor, for copying it unchanged.
struct ZipSpan {
  uint64_t offset;
  uint64_t length;
};
ZipSpan EntrySpan(int fd, const std::string& name, const ZipRecord& record);

// Decompresses every entry and checks its size and CRC, spreading the work
// over worker threads (archlib::WorkerThreads). Throws archlib::Failure
// naming the first bad entry.
void VerifyEntries(int fd, const std::string& name, const std::vector<ZipRecord>& records);

}  // namespace sevenzip
