#include "sevenzip/seven_z.h"

#include <archive_entry.h>
#include <zlib.h>

#include <unordered_map>

#include "archlib/entry.h"
#include "platform/posix/locale.h"
#include "sevenzip/byte_io.h"
#include "sevenzip/seven_z_names.h"
#include "sevenzip/seven_z_reader.h"
#include "sevenzip/seven_z_writer.h"

namespace sevenzip {

std::vector<Expected> WriteSevenZ(int fd, const std::string& name,
                                  const std::vector<Source>& sources, SevenZOrigin* origin) {
  return WriteSevenZFolders(fd, name, sources, origin);
}

void VerifySevenZ(const std::string& path, const std::vector<Expected>& expected) {
  platform::posix::ThreadLocale locale(platform::posix::ThreadLocale::Of::kEnvironment);
  std::unordered_map<std::string, const Expected*> left;
  for (const Expected& e : expected) left[e.name] = &e;
  auto bad = [&](const std::string& why) {
    throw archlib::Failure("check of " + path + " failed: " + why);
  };
  const SevenZReader reader(path);
  std::vector<unsigned char> buffer(kChunk);
  archive_entry* entry;
  for (;;) {
    int status = archive_read_next_header(reader.get(), &entry);
    if (status == ARCHIVE_EOF) break;
    if (status < ARCHIVE_WARN) reader.Fail("check of " + path + " failed");
    const std::string name = archive_entry_pathname(entry);
    auto it = left.find(WithoutSlash(name));
    if (it == left.end()) bad("unexpected entry " + name);
    uLong crc = crc32(0, nullptr, 0);
    uint64_t size = 0;
    for (;;) {
      la_ssize_t n = archive_read_data(reader.get(), buffer.data(), buffer.size());
      if (n < 0) reader.Fail("check of " + path + " failed: " + name);
      if (n == 0) break;
      crc = crc32_z(crc, buffer.data(), static_cast<size_t>(n));
      size += static_cast<uint64_t>(n);
    }
    if (size != it->second->size || crc != it->second->crc) bad(name + ": data differs");
    const char* link = archive_entry_symlink(entry);
    if (it->second->link != (link != nullptr ? link : "")) bad(name + ": link target differs");
    left.erase(it);
  }
  if (!left.empty()) bad("missing entry " + left.begin()->first);
}

}  // namespace sevenzip
