#include "sevenzip/seven_z.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <memory>
#include <unordered_map>

#include "archlib/archive_end.h"
#include "archlib/entry.h"
#include "platform/posix/locale.h"
#include "platform/posix/regular_file.h"
#include "sevenzip/seven_z_writer.h"

namespace sevenzip {

namespace {

constexpr size_t kChunk = 1 << 20;

using ArchivePtr = std::unique_ptr<archive, int (*)(archive*)>;

std::string WithoutSlash(const std::string& path) {
  return !path.empty() && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
}

ArchivePtr OpenReader(const platform::posix::RegularFile& file) {
  ArchivePtr reader(archive_read_new(), archive_read_free);
  if (!reader) throw std::bad_alloc();
  archive_read_support_format_7zip(reader.get());
  if (archive_read_open_fd(reader.get(), file.Descriptor(), kChunk) != ARCHIVE_OK) {
    FailReading(reader.get(), "cannot read " + file.Path(), file.Descriptor(), file.Path());
  }
  return reader;
}

}  // namespace

void FailReading(archive* reader, const std::string& what, int fd, const std::string& name) {
  std::string why;
  try {
    why = archlib::SevenZEndProblem(fd, name);
  } catch (const archlib::Failure& e) {
    why = e.what();
  }
  if (why.empty()) {
    const char* reason = archive_error_string(reader);
    why = reason != nullptr ? reason : "libarchive gave no reason";
  }
  throw archlib::Failure(what + ": " + why);
}

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
  const platform::posix::RegularFile file = platform::posix::RegularFile::Open(path);
  ArchivePtr reader = OpenReader(file);
  const auto fail = [&](const std::string& what) {
    FailReading(reader.get(), what, file.Descriptor(), path);
  };
  std::vector<unsigned char> buffer(kChunk);
  archive_entry* entry;
  for (;;) {
    int status = archive_read_next_header(reader.get(), &entry);
    if (status == ARCHIVE_EOF) break;
    if (status < ARCHIVE_WARN) fail("check of " + path + " failed");
    const std::string name = archive_entry_pathname(entry);
    auto it = left.find(WithoutSlash(name));
    if (it == left.end()) bad("unexpected entry " + name);
    uLong crc = crc32(0, nullptr, 0);
    uint64_t size = 0;
    for (;;) {
      la_ssize_t n = archive_read_data(reader.get(), buffer.data(), buffer.size());
      if (n < 0) fail("check of " + path + " failed: " + name);
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
