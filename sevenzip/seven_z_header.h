// The 7z container's own structures: the signature header at the start of
// the file and the archive header that describes the packed streams and the
// entries. Only what this writer produces is encoded: folders of one LZMA2
// coder each, every entry's CRC, names, modification times and attributes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sevenzip {

inline constexpr size_t kSignatureHeaderSize = 32;
// Attribute bits as 7-Zip stores them. The Unix extension bit says that the
// high 16 bits hold the POSIX mode (type and permissions).
inline constexpr uint32_t kAttributeReadOnly = 0x01;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeArchive = 0x20;
inline constexpr uint32_t kAttributeUnixExtension = 0x8000;

// One solid block: an LZMA2 stream holding the data of one or more entries
// back to back.
struct SevenZFolder {
  uint64_t packedSize = 0;
  uint64_t unpackedSize = 0;
  uint8_t lzma2Property = 0;  // the dictionary size byte
  std::vector<uint64_t> streamSizes;
  std::vector<uint32_t> streamCrcs;
};

struct SevenZItem {
  std::u16string name;  // '/'-separated
  bool hasStream = false;
  bool isDirectory = false;  // only for entries without a stream
  bool hasTime = false;
  uint64_t filetime = 0;  // 100 ns units since 1601-01-01 UTC
  uint32_t attributes = 0;
};

// Appends a 7z variable-length number: the count of leading 1 bits in the
// first byte is the count of bytes that follow, low byte first.
void PutNumber(std::string& out, uint64_t value);

// The archive header. packPosition is where the first folder's data starts,
// counted from the end of the signature header. The items with a stream take
// the folders' streams in order.
std::string BuildHeader(uint64_t packPosition, const std::vector<SevenZFolder>& folders,
                        const std::vector<SevenZItem>& items);

// The header that points at an LZMA2-compressed archive header: packed at
// packPosition (after the signature header), rawSize and rawCrc unpacked.
std::string BuildEncodedHeader(uint64_t packPosition, uint64_t packedSize, uint8_t lzma2Property,
                               uint64_t rawSize, uint32_t rawCrc);

// The 32 bytes at the start of the file; the next header follows the
// signature header after nextOffset bytes.
std::string SignatureHeader(uint64_t nextOffset, const std::string& nextHeader);

// Seconds and nanoseconds since 1970 as a FILETIME; times before 1601 give 0.
uint64_t FileTime(int64_t seconds, long nanoseconds);

}  // namespace sevenzip
