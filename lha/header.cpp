#include "lha/header.h"

#include <algorithm>
#include <cstring>

#include "archlib/entry.h"
#include "archlib/little_endian.h"
#include "lha/crc16.h"

namespace lha {

namespace {

using archlib::Put16;
using archlib::Put32;

constexpr uint8_t kExtCrc = 0x00;
constexpr uint8_t kExtFileName = 0x01;
constexpr uint8_t kExtDirName = 0x02;
constexpr uint8_t kExtCodePage = 0x46;
constexpr uint8_t kExtUnixMode = 0x50;
constexpr uint8_t kExtUnixIds = 0x51;
constexpr uint8_t kPathSeparator = 0xFF;

uint32_t ClampTime(int64_t t) {
  return static_cast<uint32_t>(std::clamp<int64_t>(t, 0, 0xFFFFFFFFll));
}

}  // namespace

std::string StoredName(const MemberHeader& h) {
  // A link is stored as "path|target", as the Unix LHA tools do; readers
  // split at the '|'.
  return h.kind == MemberHeader::Kind::kSymlink ? h.path + '|' + h.linkTarget : h.path;
}

std::vector<uint8_t> EncodeHeader(const MemberHeader& h) {
  if (h.packedSize > kMaxMemberSize || h.originalSize > kMaxMemberSize) {
    throw archlib::Failure("file too large for an LHA archive (4 GiB or more): " + h.path);
  }
  // Folder part with the separator after each component, and the name.
  std::string dir, name;
  if (h.kind == MemberHeader::Kind::kDirectory) {
    dir = h.path + '/';
  } else {
    // Split like any path at its last '/', a link's target and all.
    const std::string full = StoredName(h);
    size_t slash = full.rfind('/');
    if (slash != std::string::npos) dir = full.substr(0, slash + 1);
    name = full.substr(slash == std::string::npos ? 0 : slash + 1);
  }
  // The separator byte inside a folder's name would make two folders of it.
  if (dir.find(static_cast<char>(kPathSeparator)) != std::string::npos) {
    throw archlib::Failure(
        "a folder name holds the byte 0xFF, which LHA keeps between folder names: " + h.path);
  }
  std::replace(dir.begin(), dir.end(), '/', static_cast<char>(kPathSeparator));

  std::vector<uint8_t> b;
  b.reserve(64 + dir.size() + name.size());
  Put16(b, 0);  // header size, set below
  b.insert(b.end(), h.method, h.method + 5);
  Put32(b, static_cast<uint32_t>(h.packedSize));
  Put32(b, static_cast<uint32_t>(h.originalSize));
  Put32(b, ClampTime(h.mtime));
  // The MS-DOS attribute byte: readers (libarchive among them) recognise a
  // level-2 header by the archive bit alone, folders included.
  b.push_back(0x20);
  b.push_back(2);  // header level
  Put16(b, h.crc);
  b.push_back('U');

  // Each extended header: its size (type, data and the next size field)
  // is written in the field before it.
  auto ext = [&](uint8_t type, const void* data, size_t size) {
    if (size + 3 > 0xFFFF) throw archlib::Failure("name too long for an LHA archive: " + h.path);
    Put16(b, static_cast<uint16_t>(size + 3));
    b.push_back(type);
    const auto* p = static_cast<const uint8_t*>(data);
    b.insert(b.end(), p, p + size);
  };
  const uint16_t zero = 0;
  ext(kExtCrc, &zero, 2);
  const size_t crcAt = b.size() - 2;
  if (!name.empty()) ext(kExtFileName, name.data(), name.size());
  if (!dir.empty()) ext(kExtDirName, dir.data(), dir.size());
  if (h.codePage) {
    uint8_t cp[4] = {uint8_t(*h.codePage), uint8_t(*h.codePage >> 8), uint8_t(*h.codePage >> 16),
                     uint8_t(*h.codePage >> 24)};
    ext(kExtCodePage, cp, 4);
  }
  uint8_t mode[2] = {uint8_t(h.mode), uint8_t(h.mode >> 8)};
  ext(kExtUnixMode, mode, 2);
  // Ids that do not fit 16 bits are left out rather than stored wrong. So
  // are ids 0:0: a reader run by root restores a member without ids as
  // root's, and no other user can give a file to root, so they would
  // change nothing. (The modification time needs no extended header of its
  // own: a level-2 base header holds it as Unix time.)
  if (h.uid && h.gid && *h.uid <= 0xFFFF && *h.gid <= 0xFFFF && (*h.uid != 0 || *h.gid != 0)) {
    uint8_t ids[4] = {uint8_t(*h.gid), uint8_t(*h.gid >> 8), uint8_t(*h.uid), uint8_t(*h.uid >> 8)};
    ext(kExtUnixIds, ids, 4);
  }
  Put16(b, 0);  // no further extended header
  // A header whose size has a zero low byte would read as the archive's
  // end marker: one padding byte avoids it.
  if ((b.size() & 0xFF) == 0) b.push_back(0);
  if (b.size() > 0xFFFF) throw archlib::Failure("name too long for an LHA archive: " + h.path);
  b[0] = static_cast<uint8_t>(b.size());
  b[1] = static_cast<uint8_t>(b.size() >> 8);
  const uint16_t crc = Crc16(0, b.data(), b.size());
  b[crcAt] = static_cast<uint8_t>(crc);
  b[crcAt + 1] = static_cast<uint8_t>(crc >> 8);
  return b;
}

}  // namespace lha
