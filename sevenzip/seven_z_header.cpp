#include "sevenzip/seven_z_header.h"

#include <zlib.h>

#include "sevenzip/byte_io.h"

namespace sevenzip {

namespace {

enum Property : uint8_t {
  kEnd = 0x00,
  kHeader = 0x01,
  kMainStreamsInfo = 0x04,
  kFilesInfo = 0x05,
  kPackInfo = 0x06,
  kUnpackInfo = 0x07,
  kSubStreamsInfo = 0x08,
  kSize = 0x09,
  kCrc = 0x0A,
  kFolder = 0x0B,
  kCodersUnpackSize = 0x0C,
  kNumUnpackStream = 0x0D,
  kEmptyStream = 0x0E,
  kEmptyFile = 0x0F,
  kName = 0x11,
  kMTime = 0x14,
  kWinAttributes = 0x15,
  kEncodedHeader = 0x17,
};

constexpr uint8_t kLzma2Id = 0x21;
// 100 ns intervals from 1601-01-01 to 1970-01-01.
constexpr int64_t kEpochSeconds = 11644473600;

uint32_t Crc(const std::string& data) {
  return static_cast<uint32_t>(
      crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

// Bits in order, the first in the high bit of the first byte.
std::string BitVector(const std::vector<bool>& bits) {
  std::string out((bits.size() + 7) / 8, '\0');
  for (size_t i = 0; i < bits.size(); ++i) {
    if (bits[i]) out[i / 8] = static_cast<char>(out[i / 8] | 0x80 >> (i % 8));
  }
  return out;
}

void PutProperty(std::string& out, Property id, const std::string& data) {
  out += static_cast<char>(id);
  PutNumber(out, data.size());
  out += data;
}

// One folder of a single LZMA2 coder with its dictionary property byte.
void PutLzma2Folder(std::string& out, uint8_t property) {
  PutNumber(out, 1);                   // coders
  out += static_cast<char>(0x20 | 1);  // has properties, 1-byte id
  out += static_cast<char>(kLzma2Id);
  PutNumber(out, 1);
  out += static_cast<char>(property);
}

void PutStreamsInfo(std::string& out, uint64_t packPosition,
                    const std::vector<SevenZFolder>& folders) {
  out += static_cast<char>(kPackInfo);
  PutNumber(out, packPosition);
  PutNumber(out, folders.size());
  out += static_cast<char>(kSize);
  for (const SevenZFolder& f : folders) PutNumber(out, f.packedSize);
  out += static_cast<char>(kEnd);

  out += static_cast<char>(kUnpackInfo);
  out += static_cast<char>(kFolder);
  PutNumber(out, folders.size());
  out += '\0';  // not external
  for (const SevenZFolder& f : folders) PutLzma2Folder(out, f.lzma2Property);
  out += static_cast<char>(kCodersUnpackSize);
  for (const SevenZFolder& f : folders) PutNumber(out, f.unpackedSize);
  out += static_cast<char>(kEnd);

  out += static_cast<char>(kSubStreamsInfo);
  out += static_cast<char>(kNumUnpackStream);
  bool anySizes = false;
  for (const SevenZFolder& f : folders) {
    PutNumber(out, f.streamSizes.size());
    anySizes = anySizes || f.streamSizes.size() > 1;
  }
  if (anySizes) {
    // Each folder's last size follows from the folder's unpacked size.
    out += static_cast<char>(kSize);
    for (const SevenZFolder& f : folders) {
      for (size_t i = 0; i + 1 < f.streamSizes.size(); ++i) PutNumber(out, f.streamSizes[i]);
    }
  }
  out += static_cast<char>(kCrc);
  out += '\1';  // all defined
  for (const SevenZFolder& f : folders) {
    for (uint32_t crc : f.streamCrcs) Put32(out, crc);
  }
  out += static_cast<char>(kEnd);
  out += static_cast<char>(kEnd);
}

void PutFilesInfo(std::string& out, const std::vector<SevenZItem>& items) {
  out += static_cast<char>(kFilesInfo);
  PutNumber(out, items.size());

  std::vector<bool> emptyStream, emptyFile;
  bool anyEmpty = false, anyEmptyFile = false;
  for (const SevenZItem& item : items) {
    emptyStream.push_back(!item.hasStream);
    if (!item.hasStream) {
      anyEmpty = true;
      emptyFile.push_back(!item.isDirectory);
      anyEmptyFile = anyEmptyFile || !item.isDirectory;
    }
  }
  if (anyEmpty) PutProperty(out, kEmptyStream, BitVector(emptyStream));
  if (anyEmptyFile) PutProperty(out, kEmptyFile, BitVector(emptyFile));

  std::string names(1, '\0');  // not external
  for (const SevenZItem& item : items) {
    for (char16_t c : item.name) Put16(names, c);
    Put16(names, 0);
  }
  PutProperty(out, kName, names);

  std::vector<bool> timed;
  bool allTimed = true;
  for (const SevenZItem& item : items) {
    timed.push_back(item.hasTime);
    allTimed = allTimed && item.hasTime;
  }
  std::string times = allTimed ? std::string(1, '\1') : '\0' + BitVector(timed);
  times += '\0';  // not external
  for (const SevenZItem& item : items) {
    if (item.hasTime) Put64(times, item.filetime);
  }
  PutProperty(out, kMTime, times);

  std::string attributes("\1\0", 2);  // all defined, not external
  for (const SevenZItem& item : items) Put32(attributes, item.attributes);
  PutProperty(out, kWinAttributes, attributes);

  out += static_cast<char>(kEnd);
}

}  // namespace

void PutNumber(std::string& out, uint64_t value) {
  uint8_t first = 0;
  uint8_t mask = 0x80;
  int extra = 0;
  for (; extra < 8; ++extra) {
    if (value < uint64_t{1} << (7 * (extra + 1))) {
      first = static_cast<uint8_t>(first | value >> (8 * extra));
      break;
    }
    first |= mask;
    mask >>= 1;
  }
  out += static_cast<char>(first);
  for (int i = 0; i < extra; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

std::string BuildHeader(uint64_t packPosition, const std::vector<SevenZFolder>& folders,
                        const std::vector<SevenZItem>& items) {
  std::string out(1, static_cast<char>(kHeader));
  if (!folders.empty()) {
    out += static_cast<char>(kMainStreamsInfo);
    PutStreamsInfo(out, packPosition, folders);
  }
  if (!items.empty()) PutFilesInfo(out, items);
  out += static_cast<char>(kEnd);
  return out;
}

std::string BuildEncodedHeader(uint64_t packPosition, uint64_t packedSize, uint8_t lzma2Property,
                               uint64_t rawSize, uint32_t rawCrc) {
  std::string out(1, static_cast<char>(kEncodedHeader));
  out += static_cast<char>(kPackInfo);
  PutNumber(out, packPosition);
  PutNumber(out, 1);
  out += static_cast<char>(kSize);
  PutNumber(out, packedSize);
  out += static_cast<char>(kEnd);
  out += static_cast<char>(kUnpackInfo);
  out += static_cast<char>(kFolder);
  PutNumber(out, 1);
  out += '\0';
  PutLzma2Folder(out, lzma2Property);
  out += static_cast<char>(kCodersUnpackSize);
  PutNumber(out, rawSize);
  out += static_cast<char>(kCrc);
  out += '\1';
  Put32(out, rawCrc);
  out += static_cast<char>(kEnd);
  out += static_cast<char>(kEnd);
  return out;
}

std::string SignatureHeader(uint64_t nextOffset, const std::string& nextHeader) {
  std::string start;
  Put64(start, nextHeader.empty() ? 0 : nextOffset);
  Put64(start, nextHeader.size());
  Put32(start, nextHeader.empty() ? 0 : Crc(nextHeader));
  std::string out("7z\xBC\xAF\x27\x1C\x00\x04", 8);
  Put32(out, Crc(start));
  return out + start;
}

uint64_t FileTime(int64_t seconds, long nanoseconds) {
  if (seconds < -kEpochSeconds) return 0;
  constexpr int64_t kLast = static_cast<int64_t>(UINT64_MAX / 10000000) - kEpochSeconds - 1;
  if (seconds > kLast) seconds = kLast;
  return static_cast<uint64_t>(seconds + kEpochSeconds) * 10000000 +
         static_cast<uint64_t>(nanoseconds / 100);
}

}  // namespace sevenzip
