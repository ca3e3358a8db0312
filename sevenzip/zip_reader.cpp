#include "sevenzip/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <exception>

#include "archlib/entry.h"
#include "archlib/worker_pool.h"
#include "sevenzip/byte_io.h"
#include "sevenzip/deflate.h"
#include "sevenzip/zip_format.h"

namespace sevenzip {

namespace {

// Members up to this size are decompressed whole (libdeflate, faster);
// larger ones are streamed through zlib in kChunk pieces.
constexpr uint64_t kWholeLimit = 16 << 20;
// What each checking thread holds, for the rule for how many: a whole
// member and its compressed bytes (16 MiB and a little more at most), and
// two pieces of a streamed one.
constexpr uint64_t kBytesPerThread = 35 << 20;

[[noreturn]] void Damaged(const std::string& name, const std::string& why) {
  throw archlib::Failure(name + " is not a readable ZIP archive: " + why);
}

// Replaces the 32-bit values marked 0xFFFFFFFF by those of the ZIP64 field
// and returns the extra fields without it.
std::string ResolveZip64(const std::string& name, const std::string& extra, ZipRecord& r,
                         bool offsetMarked) {
  std::string kept;
  size_t pos = 0;
  while (pos + 4 <= extra.size()) {
    auto p = reinterpret_cast<const unsigned char*>(extra.data() + pos);
    uint16_t id = Get16(p);
    uint16_t length = Get16(p + 2);
    if (pos + 4 + length > extra.size()) break;
    if (id == 0x0001) {
      const unsigned char* q = p + 4;
      const unsigned char* end = q + length;
      auto take = [&](uint64_t& field) {
        if (q + 8 > end) Damaged(name, "short ZIP64 field for " + r.name);
        field = Get64(q);
        q += 8;
      };
      if (r.size == 0xFFFFFFFF) take(r.size);
      if (r.compressedSize == 0xFFFFFFFF) take(r.compressedSize);
      if (offsetMarked) take(r.localOffset);
    } else {
      kept.append(extra, pos, 4 + length);
    }
    pos += 4 + length;
  }
  return kept;
}

}  // namespace

std::vector<ZipRecord> ReadCentralDirectory(int fd, const std::string& name) {
  const uint64_t fileSize = FileSize(fd, name);
  if (fileSize < 22) Damaged(name, "too short");
  // The end record is in the last 64 KiB + 22 bytes (it may carry a comment).
  const uint64_t tailSize = std::min<uint64_t>(fileSize, 65535 + 22);
  std::vector<unsigned char> tail(tailSize);
  ReadAt(fd, name, fileSize - tailSize, tail.data(), tail.size());
  size_t end = std::string::npos;
  for (size_t i = tail.size() - 22 + 1; i-- > 0;) {
    if (Get32(&tail[i]) == kEndSignature && i + 22 + Get16(&tail[i + 20]) == tail.size()) {
      end = i;
      break;
    }
  }
  if (end == std::string::npos) Damaged(name, "no end of central directory");
  uint64_t count = Get16(&tail[end + 10]);
  uint64_t cdSize = Get32(&tail[end + 12]);
  uint64_t cdOffset = Get32(&tail[end + 16]);
  const uint64_t endOffset = fileSize - tailSize + end;
  if (endOffset >= 20) {
    unsigned char locator[20];
    ReadAt(fd, name, endOffset - 20, locator, sizeof locator);
    if (Get32(locator) == kZip64LocatorSignature) {
      unsigned char record[56];
      ReadAt(fd, name, Get64(locator + 8), record, sizeof record);
      if (Get32(record) != kZip64EndSignature) Damaged(name, "bad ZIP64 end record");
      count = Get64(record + 32);
      cdSize = Get64(record + 40);
      cdOffset = Get64(record + 48);
    }
  }
  if (cdOffset > fileSize || cdSize > fileSize - cdOffset) Damaged(name, "bad directory offset");

  std::vector<unsigned char> cd(static_cast<size_t>(cdSize));
  ReadAt(fd, name, cdOffset, cd.data(), cd.size());
  std::vector<ZipRecord> records;
  records.reserve(static_cast<size_t>(std::min<uint64_t>(count, cdSize / 46)));
  size_t pos = 0;
  for (uint64_t i = 0; i < count; ++i) {
    if (pos + 46 > cd.size() || Get32(&cd[pos]) != kCentralSignature) {
      Damaged(name, "bad central directory record");
    }
    const unsigned char* p = &cd[pos];
    ZipRecord r;
    r.versionMadeBy = Get16(p + 4);
    r.versionNeeded = Get16(p + 6);
    r.flags = Get16(p + 8);
    r.method = Get16(p + 10);
    r.dosDateTime = Get32(p + 12);
    r.crc = Get32(p + 16);
    r.compressedSize = Get32(p + 20);
    r.size = Get32(p + 24);
    const size_t nameLength = Get16(p + 28), extraLength = Get16(p + 30),
                 commentLength = Get16(p + 32);
    r.internalAttributes = Get16(p + 36);
    r.externalAttributes = Get32(p + 38);
    r.localOffset = Get32(p + 42);
    if (pos + 46 + nameLength + extraLength + commentLength > cd.size()) {
      Damaged(name, "bad central directory record");
    }
    const char* text = reinterpret_cast<const char*>(p + 46);
    r.name.assign(text, nameLength);
    r.extra = ResolveZip64(name, std::string(text + nameLength, extraLength), r,
                           r.localOffset == 0xFFFFFFFF);
    r.comment.assign(text + nameLength + extraLength, commentLength);
    if (r.localOffset >= cdOffset) Damaged(name, "bad entry offset for " + r.name);
    records.push_back(std::move(r));
    pos += 46 + nameLength + extraLength + commentLength;
  }
  return records;
}

ZipSpan EntrySpan(int fd, const std::string& name, const ZipRecord& record) {
  unsigned char header[30];
  ReadAt(fd, name, record.localOffset, header, sizeof header);
  if (Get32(header) != kLocalSignature) Damaged(name, "bad local header for " + record.name);
  const uint64_t dataOffset = record.localOffset + 30 + Get16(header + 26) + Get16(header + 28);
  uint64_t end = dataOffset + record.compressedSize;
  if (record.flags & kFlagDataDescriptor) {
    // Optional signature, CRC, then 32- or 64-bit sizes.
    unsigned char descriptor[24] = {};
    const uint64_t available = std::min<uint64_t>(24, FileSize(fd, name) - end);
    ReadAt(fd, name, end, descriptor, static_cast<size_t>(available));
    const bool signature = Get32(descriptor) == 0x08074b50;
    const bool wide = record.size >= 0xFFFFFFFF || record.compressedSize >= 0xFFFFFFFF;
    end += (signature ? 4 : 0) + 4 + (wide ? 16 : 8);
  }
  return {record.localOffset, end - record.localOffset};
}

namespace {

// What a checking thread keeps from one entry to the next.
struct VerifyTools {
  std::vector<unsigned char> in = std::vector<unsigned char>(kChunk);
  std::vector<unsigned char> out = std::vector<unsigned char>(kChunk);
  Scratch packed, unpacked;
  Decompressor decompressor;
};

void VerifyOne(int fd, const std::string& name, const ZipRecord& r, VerifyTools& tools) {
  std::vector<unsigned char>& in = tools.in;
  std::vector<unsigned char>& out = tools.out;
  auto bad = [&](const std::string& why) {
    throw archlib::Failure("check of " + name + " failed: " + r.name + ": " + why);
  };
  if (r.flags & kFlagEncrypted) bad("encrypted entry");
  unsigned char header[30];
  ReadAt(fd, name, r.localOffset, header, sizeof header);
  if (Get32(header) != kLocalSignature) bad("bad local header");
  const size_t nameLength = Get16(header + 26);
  std::string localName(nameLength, '\0');
  ReadAt(fd, name, r.localOffset + 30, localName.data(), nameLength);
  if (localName != r.name) bad("local name differs");
  uint64_t offset = r.localOffset + 30 + nameLength + Get16(header + 28);
  uint64_t left = r.compressedSize;
  uLong crc = crc32(0, nullptr, 0);
  uint64_t produced = 0;

  if (r.method == kMethodStored) {
    if (r.compressedSize != r.size) bad("stored sizes differ");
    while (left > 0) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(left, in.size()));
      ReadAt(fd, name, offset, in.data(), n);
      crc = Crc32(static_cast<uint32_t>(crc), in.data(), n);
      offset += n;
      left -= n;
      produced += n;
    }
  } else if (r.method == kMethodDeflate && r.size <= kWholeLimit &&
             r.compressedSize <= kWholeLimit + kChunk) {
    const size_t packedSize = static_cast<size_t>(r.compressedSize);
    const size_t size = static_cast<size_t>(r.size);
    unsigned char* packed = tools.packed.Get(packedSize);
    unsigned char* unpacked = tools.unpacked.Get(size);
    ReadAt(fd, name, offset, packed, packedSize);
    using Outcome = Decompressor::Outcome;
    const Outcome outcome = tools.decompressor.Decompress(packed, packedSize, unpacked, size);
    if (outcome == Outcome::kDamaged) bad("damaged compressed data");
    if (outcome == Outcome::kSizeDiffers) bad("size differs");
    if (outcome == Outcome::kPackedSizeDiffers) bad("compressed size differs");
    crc = Crc32(0, unpacked, size);
    produced = size;
  } else if (r.method == kMethodDeflate) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) bad("cannot start decompression");
    int status = Z_OK;
    try {
      while (status != Z_STREAM_END) {
        if (z.avail_in == 0) {
          if (left == 0) bad("compressed data ends early");
          size_t n = static_cast<size_t>(std::min<uint64_t>(left, in.size()));
          ReadAt(fd, name, offset, in.data(), n);
          offset += n;
          left -= n;
          z.next_in = in.data();
          z.avail_in = static_cast<uInt>(n);
        }
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) bad("damaged compressed data");
        const size_t n = out.size() - z.avail_out;
        crc = Crc32(static_cast<uint32_t>(crc), out.data(), n);
        produced += n;
      }
      if (left != 0 || z.avail_in != 0) bad("compressed size differs");
    } catch (...) {
      inflateEnd(&z);
      throw;
    }
    inflateEnd(&z);
  } else {
    bad("unsupported compression method " + std::to_string(r.method));
  }
  if (produced != r.size) bad("size differs");
  if (crc != r.crc) bad("CRC differs");
}

}  // namespace

void VerifyEntries(int fd, const std::string& name, const std::vector<ZipRecord>& records) {
  // Each thread takes the next entry nobody has taken, this one too; the
  // first failure stops the others at their next entry.
  std::atomic<size_t> next{0};
  std::atomic<bool> stopped{false};
  auto work = [&] {
    VerifyTools tools;
    for (size_t i = next++; i < records.size() && !stopped; i = next++) {
      VerifyOne(fd, name, records[i], tools);
    }
  };
  const size_t threads = std::min<size_t>(archlib::WorkerThreads(kBytesPerThread), records.size());
  archlib::WorkerPool pool([&] { stopped = true; });
  pool.Run(static_cast<unsigned>(threads), [&](unsigned) { work(); });
}

}  // namespace sevenzip
