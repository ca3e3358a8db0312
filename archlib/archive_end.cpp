#include "archlib/archive_end.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "archlib/little_endian.h"
#include "platform/posix/file_error.h"
#include "platform/posix/io.h"

namespace archlib {

namespace {

// The 7z signature header: signature, version, the CRC of the next 20
// bytes, then the offset (after these 32 bytes), size and CRC of the header.
constexpr size_t kSevenZStart = 32;
constexpr unsigned char kSevenZSignature[] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};

uint32_t Crc32(const unsigned char* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

uint64_t FileSize(int fd, const std::string& name) {
  struct stat info;
  if (fstat(fd, &info) != 0) platform::posix::ThrowFileError("cannot read", name, errno);
  return static_cast<uint64_t>(info.st_size);
}

}  // namespace

std::string LhaEndProblem(int fd, uint64_t membersEnd, const std::string& name) {
  unsigned char marker = 0;
  if (platform::posix::ReadUpTo(fd, name, membersEnd, &marker, 1) == 1) return "";
  return "the archive ends early: the end marker (a 0 byte) that should follow its last member, "
         "at byte " +
         std::to_string(membersEnd) + ", is missing";
}

std::string SevenZEndProblem(int fd, const std::string& name) {
  unsigned char start[kSevenZStart];
  const size_t got = platform::posix::ReadUpTo(fd, name, 0, start, sizeof start);
  const size_t signature = std::min(got, sizeof kSevenZSignature);
  if (got == 0 || std::memcmp(start, kSevenZSignature, signature) != 0) return "";
  const uint64_t size = FileSize(fd, name);
  if (got < kSevenZStart) {
    return "the archive ends early: it has " + std::to_string(size) +
           " bytes, fewer than the 32 of its start header";
  }
  if (Crc32(start + 12, 20) != Get32(start + 8)) {
    return "the archive's start header is damaged: its CRC does not match it";
  }
  const uint64_t offset = Get64(start + 12), length = Get64(start + 20);
  const uint64_t begin = kSevenZStart + offset;
  if (offset <= size && length <= size && begin + length <= size) return "";
  return "the archive ends early: its header should lie at bytes " + std::to_string(begin) +
         " to " + std::to_string(begin + length) + ", but the file has only " +
         std::to_string(size) + " bytes";
}

}  // namespace archlib
