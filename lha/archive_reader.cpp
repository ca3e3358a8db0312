#include "lha/archive_reader.h"

#include <algorithm>

#include "archlib/entry.h"
#include "archlib/little_endian.h"
#include "platform/double_byte.h"
#include "platform/name_text.h"

namespace lha {

namespace {

using archlib::Get16;
using archlib::Get32;

void ReadExactly(const platform::OpenFile& archive, uint64_t offset, uint8_t* out, size_t size,
                 const std::string& name) {
  if (archive.ReadUpTo(offset, out, size) != size) {
    throw archlib::Failure("not a complete LHA archive: " + name);
  }
}

// Folder names use 0xFF (and in old headers '\') between components. A
// '\' that is the second byte of a character in the name's code page (表 is
// 95 5C in code page 932) is part of the name; 0xFF never is.
std::string Normalise(std::string path, bool backslashes, uint32_t codePage) {
  for (char& c : path) {
    if (c == '\xFF') c = '/';
  }
  for (size_t i = 0; backslashes; ++i) {
    i = platform::FindCharacter(path, '\\', codePage, i);
    if (i == std::string::npos) break;
    path[i] = '/';
  }
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::vector<StoredMember> ListMembers(const platform::OpenFile& archive, uint64_t fileSize,
                                      const std::string& name) {
  std::vector<StoredMember> members;
  uint64_t at = 0;
  std::vector<uint8_t> h;
  // Names are in the code page their header declares, else the system's.
  const uint32_t systemCodePage = platform::SystemCodePage().value_or(0);
  auto bad = [&]() -> archlib::Failure {
    return archlib::Failure("not a well-formed LHA archive: " + name);
  };
  while (at < fileSize) {
    uint8_t first[2] = {};
    ReadExactly(archive, at, first, 1, name);
    if (first[0] == 0) break;  // end marker
    if (fileSize - at < 22) throw bad();
    h.assign(22, 0);
    ReadExactly(archive, at, h.data(), 22, name);
    if (h[2] != '-' || h[6] != '-') throw bad();
    const int level = h[20];
    StoredMember m;
    m.offset = at;
    m.method.assign(reinterpret_cast<const char*>(h.data() + 2), 5);
    const uint64_t packed = Get32(h.data() + 7);
    m.originalSize = Get32(h.data() + 11);
    std::string dir, file;
    uint32_t codePage = systemCodePage;
    uint64_t extStart = 0, extEnd = 0;  // extended headers with 16-bit sizes
    bool backslashes = false;
    if (level == 0 || level == 1) {
      const size_t base = size_t{h[0]} + 2;
      if (base < 24 || base > fileSize - at) throw bad();
      h.resize(base);
      ReadExactly(archive, at, h.data(), base, name);
      const size_t nameLength = h[21];
      if (22 + nameLength + 2 > base) throw bad();
      file.assign(reinterpret_cast<const char*>(h.data() + 22), nameLength);
      m.crc = static_cast<uint16_t>(Get16(h.data() + 22 + nameLength));
      backslashes = true;
      m.size = base + packed;
      if (level == 1) {
        extStart = at + base - 2;
        extEnd = at + m.size;
      }
    } else if (level == 2) {
      const size_t size = Get16(h.data());
      if (size < 26 || size > fileSize - at) throw bad();
      h.resize(size);
      ReadExactly(archive, at, h.data(), size, name);
      m.crc = static_cast<uint16_t>(Get16(h.data() + 21));
      m.size = size + packed;
      extStart = at + 24;
      extEnd = at + size;
    } else {
      throw archlib::Failure("unsupported LHA header level " + std::to_string(level) + " in " +
                             name);
    }
    // Extended headers: each names the size of the next one.
    if (extStart != 0) {
      uint8_t sizeField[2];
      ReadExactly(archive, extStart, sizeField, 2, name);
      uint64_t pos = extStart + 2;
      for (uint32_t next = Get16(sizeField); next != 0;) {
        if (next < 3 || pos + next > extEnd) throw bad();
        std::vector<uint8_t> ext(next);
        ReadExactly(archive, pos, ext.data(), next, name);
        const std::string data(reinterpret_cast<const char*>(ext.data() + 1), next - 3);
        if (ext[0] == 0x01) file = data;
        if (ext[0] == 0x02) dir = data;
        if (ext[0] == 0x46 && data.size() >= 4) {
          codePage = Get32(reinterpret_cast<const uint8_t*>(data.data()));
        }
        next = Get16(ext.data() + next - 2);
        pos += ext.size();
      }
      if (level == 1) {
        // Level 1 counts its extended headers in the packed size.
        if (pos - (at + size_t{h[0]} + 2) > packed) throw bad();
      }
    }
    if (m.size > fileSize - at) throw bad();
    // A link is stored as a folder entry named "path|target"; in any other
    // member a '|' is part of the name (ポ is 83 7C in code page 932).
    if (m.method == "-lhd-") {
      const size_t bar = platform::FindCharacter(file, '|', codePage);
      if (bar != std::string::npos) file.resize(bar);
    }
    std::string path = dir.empty() ? file : Normalise(dir, backslashes, codePage) + "/" + file;
    m.path = Normalise(path, backslashes, codePage);
    members.push_back(std::move(m));
    at += members.back().size;
  }
  return members;
}

void CopyBytes(const platform::OpenFile& archive, uint64_t offset, uint64_t size,
               const std::function<void(const uint8_t*, size_t)>& sink, const std::string& name) {
  std::vector<uint8_t> buffer(std::min<uint64_t>(size, 1 << 18));
  while (size > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size, buffer.size()));
    ReadExactly(archive, offset, buffer.data(), n, name);
    sink(buffer.data(), n);
    offset += n;
    size -= n;
  }
}

}  // namespace lha
