#include "sevenzip/seven_z.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "archlib/entry.h"
#include "sevenzip/locale.h"

namespace sevenzip {

namespace {

constexpr size_t kChunk = 1 << 20;

using ArchivePtr = std::unique_ptr<archive, int (*)(archive*)>;
using EntryPtr = std::unique_ptr<archive_entry, void (*)(archive_entry*)>;

[[noreturn]] void Fail(archive* a, const std::string& what) {
  const char* reason = archive_error_string(a);
  throw archlib::Failure(what + ": " + (reason != nullptr ? reason : "unknown error"));
}

std::string WithoutSlash(const std::string& path) {
  return !path.empty() && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
}

ArchivePtr OpenReader(const std::string& path) {
  ArchivePtr reader(archive_read_new(), archive_read_free);
  if (!reader) throw std::bad_alloc();
  archive_read_support_format_7zip(reader.get());
  if (archive_read_open_filename(reader.get(), path.c_str(), kChunk) != ARCHIVE_OK) {
    Fail(reader.get(), "cannot read " + path);
  }
  return reader;
}

class Writer {
 public:
  Writer(int fd, const std::string& name)
      : name_(name), a_(archive_write_new(), archive_write_free) {
    if (!a_) throw std::bad_alloc();
    if (archive_write_set_format_7zip(a_.get()) != ARCHIVE_OK ||
        archive_write_set_options(a_.get(), "compression=lzma2") != ARCHIVE_OK ||
        archive_write_open_fd(a_.get(), fd) != ARCHIVE_OK) {
      Fail(a_.get(), "cannot write " + name);
    }
  }

  // Writes the header, then the data produced by read(buffer) until it
  // returns 0, and returns what the entry must read back as.
  template <typename Read>
  Expected Add(archive_entry* entry, Read read) {
    Expected e{archive_entry_pathname(entry), 0, static_cast<uint32_t>(crc32(0, nullptr, 0)), ""};
    if (const char* link = archive_entry_symlink(entry)) e.link = link;
    if (archive_write_header(a_.get(), entry) < ARCHIVE_WARN)
      Fail(a_.get(), "cannot write " + name_);
    for (;;) {
      const size_t n = read(buffer_);
      if (n == 0) break;
      if (archive_write_data(a_.get(), buffer_.data(), n) != static_cast<la_ssize_t>(n)) {
        Fail(a_.get(), "cannot write " + name_);
      }
      e.crc = static_cast<uint32_t>(crc32_z(e.crc, buffer_.data(), n));
      e.size += n;
    }
    return e;
  }

  void Close() {
    if (archive_write_close(a_.get()) != ARCHIVE_OK) Fail(a_.get(), "cannot write " + name_);
  }

 private:
  std::string name_;
  ArchivePtr a_;
  std::vector<unsigned char> buffer_ = std::vector<unsigned char>(kChunk);
};

class FileHandle {
 public:
  explicit FileHandle(const std::string& path)
      : path_(path), fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)) {
    if (fd_ < 0) throw archlib::Failure("cannot read " + path + ": " + std::strerror(errno));
  }
  ~FileHandle() { close(fd_); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  size_t Read(std::vector<unsigned char>& buffer) {
    for (;;) {
      ssize_t n = read(fd_, buffer.data(), buffer.size());
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR)
        throw archlib::Failure("cannot read " + path_ + ": " + std::strerror(errno));
    }
  }

 private:
  std::string path_;
  int fd_;
};

}  // namespace

std::vector<Expected> WriteSevenZ(int fd, const std::string& name,
                                  const std::vector<Source>& sources, const std::string& origin) {
  ThreadLocale locale;  // names cross libarchive in the system's code page
  Writer writer(fd, name);
  std::vector<Expected> written;

  if (!origin.empty()) {
    std::unordered_set<std::string> replaced;
    for (const Source& s : sources) replaced.insert(WithoutSlash(s.archivePath));
    ArchivePtr reader = OpenReader(origin);
    archive_entry* entry;
    for (;;) {
      int status = archive_read_next_header(reader.get(), &entry);
      if (status == ARCHIVE_EOF) break;
      if (status < ARCHIVE_WARN) Fail(reader.get(), "cannot read " + origin);
      if (replaced.count(WithoutSlash(archive_entry_pathname(entry)))) continue;
      written.push_back(writer.Add(entry, [&](std::vector<unsigned char>& buffer) {
        la_ssize_t n = archive_read_data(reader.get(), buffer.data(), buffer.size());
        if (n < 0) Fail(reader.get(), "cannot read " + origin);
        return static_cast<size_t>(n);
      }));
    }
  }

  EntryPtr entry(archive_entry_new(), archive_entry_free);
  if (!entry) throw std::bad_alloc();
  for (const Source& s : sources) {
    archive_entry_clear(entry.get());
    archive_entry_copy_pathname(entry.get(), WithoutSlash(s.archivePath).c_str());
    archive_entry_copy_stat(entry.get(), &s.entry.info);
    if (s.IsFile()) {
      FileHandle file(s.entry.diskPath);
      written.push_back(writer.Add(
          entry.get(), [&](std::vector<unsigned char>& buffer) { return file.Read(buffer); }));
    } else {
      if (s.IsLink()) archive_entry_copy_symlink(entry.get(), s.entry.linkTarget.c_str());
      written.push_back(
          writer.Add(entry.get(), [](std::vector<unsigned char>&) { return size_t{0}; }));
    }
  }
  writer.Close();
  return written;
}

void VerifySevenZ(const std::string& path, const std::vector<Expected>& expected) {
  ThreadLocale locale;
  std::unordered_map<std::string, const Expected*> left;
  for (const Expected& e : expected) left[e.name] = &e;
  auto bad = [&](const std::string& why) {
    throw archlib::Failure("check of " + path + " failed: " + why);
  };
  ArchivePtr reader = OpenReader(path);
  std::vector<unsigned char> buffer(kChunk);
  archive_entry* entry;
  for (;;) {
    int status = archive_read_next_header(reader.get(), &entry);
    if (status == ARCHIVE_EOF) break;
    if (status < ARCHIVE_WARN) Fail(reader.get(), "check of " + path + " failed");
    const std::string name = archive_entry_pathname(entry);
    auto it = left.find(WithoutSlash(name));
    if (it == left.end()) bad("unexpected entry " + name);
    uLong crc = crc32(0, nullptr, 0);
    uint64_t size = 0;
    for (;;) {
      la_ssize_t n = archive_read_data(reader.get(), buffer.data(), buffer.size());
      if (n < 0) Fail(reader.get(), "check of " + path + " failed: " + name);
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
