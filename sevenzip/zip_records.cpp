#include "sevenzip/zip_records.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include "sevenzip/zip_format.h"

namespace sevenzip {

namespace {

constexpr uint32_t k32 = 0xFFFFFFFF;
// Made by Unix (high byte 3), so readers apply the permissions and link type
// kept in the high half of the external attributes.
constexpr uint16_t kMadeByUnix = 3 << 8 | 45;

uint32_t DosDateTime(time_t when) {
  struct tm t;
  if (localtime_r(&when, &t) == nullptr || t.tm_year < 80) return (1 << 5 | 1) << 16;
  if (t.tm_year > 207) t.tm_year = 207;
  const uint32_t date =
      static_cast<uint32_t>((t.tm_year - 80) << 9 | (t.tm_mon + 1) << 5 | t.tm_mday);
  const uint32_t time = static_cast<uint32_t>(t.tm_hour << 11 | t.tm_min << 5 | t.tm_sec / 2);
  return date << 16 | time;
}

// True for a valid UTF-8 name with at least one non-ASCII character: such
// names get the ZIP UTF-8 flag so that readers show them correctly.
bool NeedsUtf8Flag(const std::string& name) {
  const auto* s = reinterpret_cast<const unsigned char*>(name.data());
  const size_t n = name.size();
  bool wide = false;
  for (size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    size_t extra;
    if (c < 0x80) {
      extra = 0;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
    } else {
      return false;
    }
    if (i + extra >= n && extra > 0) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
    }
    wide = wide || extra > 0;
    i += extra + 1;
  }
  return wide;
}

// Extended timestamp field: the modification time in seconds since 1970.
std::string TimeField(time_t mtime) {
  std::string f;
  Put16(f, 0x5455);
  Put16(f, 5);
  f += '\x01';
  Put32(f, static_cast<uint32_t>(std::clamp<time_t>(mtime, 0, k32)));
  return f;
}

}  // namespace

ZipRecord NewRecord(const Source& s) {
  ZipRecord r;
  r.name = s.archivePath;
  r.versionMadeBy = kMadeByUnix;
  r.versionNeeded = 20;
  r.flags = NeedsUtf8Flag(r.name) ? kFlagUtf8 : 0;
  r.method = kMethodStored;
  r.dosDateTime = DosDateTime(static_cast<time_t>(s.entry.info.modifiedSeconds));
  r.externalAttributes = static_cast<uint32_t>(s.entry.info.mode & 0xFFFF) << 16;
  if (s.IsFolder()) r.externalAttributes |= 0x10;                    // MS-DOS folder
  if (!(s.entry.info.mode & S_IWUSR)) r.externalAttributes |= 0x01;  // read-only
  r.extra = TimeField(static_cast<time_t>(s.entry.info.modifiedSeconds));
  return r;
}

std::string LocalHeader(const ZipRecord& r, bool zip64) {
  std::string h;
  Put32(h, kLocalSignature);
  Put16(h, zip64 ? 45 : r.versionNeeded);
  Put16(h, r.flags);
  Put16(h, r.method);
  Put32(h, r.dosDateTime);
  Put32(h, r.crc);
  Put32(h, zip64 ? k32 : static_cast<uint32_t>(r.compressedSize));
  Put32(h, zip64 ? k32 : static_cast<uint32_t>(r.size));
  Put16(h, static_cast<uint16_t>(r.name.size()));
  Put16(h, static_cast<uint16_t>(r.extra.size() + (zip64 ? 20 : 0)));
  h += r.name;
  if (zip64) {
    Put16(h, 0x0001);
    Put16(h, 16);
    Put64(h, r.size);
    Put64(h, r.compressedSize);
  }
  h += r.extra;
  return h;
}

void PatchLocalHeader(FileWriter& out, const ZipRecord& r, bool zip64) {
  std::string sizes;
  Put32(sizes, r.crc);
  out.Patch(r.localOffset + 14, sizes);
  sizes.clear();
  if (zip64) {
    Put64(sizes, r.size);
    Put64(sizes, r.compressedSize);
    out.Patch(r.localOffset + 30 + r.name.size() + 4, sizes);
  } else {
    Put32(sizes, static_cast<uint32_t>(r.compressedSize));
    Put32(sizes, static_cast<uint32_t>(r.size));
    out.Patch(r.localOffset + 18, sizes);
  }
}

void AppendCentral(std::string& out, const ZipRecord& r) {
  std::string zip64;
  if (r.size >= k32) Put64(zip64, r.size);
  if (r.compressedSize >= k32) Put64(zip64, r.compressedSize);
  if (r.localOffset >= k32) Put64(zip64, r.localOffset);
  std::string extra;
  if (!zip64.empty()) {
    Put16(extra, 0x0001);
    Put16(extra, static_cast<uint16_t>(zip64.size()));
    extra += zip64;
  }
  extra += r.extra;
  Put32(out, kCentralSignature);
  Put16(out, r.versionMadeBy);
  Put16(out, zip64.empty() ? r.versionNeeded : std::max<uint16_t>(r.versionNeeded, 45));
  Put16(out, r.flags);
  Put16(out, r.method);
  Put32(out, r.dosDateTime);
  Put32(out, r.crc);
  Put32(out, static_cast<uint32_t>(std::min<uint64_t>(r.compressedSize, k32)));
  Put32(out, static_cast<uint32_t>(std::min<uint64_t>(r.size, k32)));
  Put16(out, static_cast<uint16_t>(r.name.size()));
  Put16(out, static_cast<uint16_t>(extra.size()));
  Put16(out, static_cast<uint16_t>(r.comment.size()));
  Put16(out, 0);  // disk number
  Put16(out, r.internalAttributes);
  Put32(out, r.externalAttributes);
  Put32(out, static_cast<uint32_t>(std::min<uint64_t>(r.localOffset, k32)));
  out += r.name;
  out += extra;
  out += r.comment;
}

void AppendEnd(std::string& out, uint64_t count, uint64_t cdOffset, uint64_t cdSize) {
  if (count >= 0xFFFF || cdOffset >= k32 || cdSize >= k32) {
    const uint64_t zip64End = cdOffset + cdSize;
    Put32(out, kZip64EndSignature);
    Put64(out, 44);
    Put16(out, kMadeByUnix);
    Put16(out, 45);
    Put32(out, 0);
    Put32(out, 0);
    Put64(out, count);
    Put64(out, count);
    Put64(out, cdSize);
    Put64(out, cdOffset);
    Put32(out, kZip64LocatorSignature);
    Put32(out, 0);
    Put64(out, zip64End);
    Put32(out, 1);
  }
  Put32(out, kEndSignature);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint16_t>(std::min<uint64_t>(count, 0xFFFF)));
  Put16(out, static_cast<uint16_t>(std::min<uint64_t>(count, 0xFFFF)));
  Put32(out, static_cast<uint32_t>(std::min<uint64_t>(cdSize, k32)));
  Put32(out, static_cast<uint32_t>(std::min<uint64_t>(cdOffset, k32)));
  Put16(out, 0);
}

}  // namespace sevenzip
