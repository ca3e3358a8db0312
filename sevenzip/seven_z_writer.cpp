#include "sevenzip/seven_z_writer.h"

#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <unordered_set>

#include "archlib/entry.h"
#include "archlib/left_out.h"
#include "archlib/unsafe_name.h"
#include "archlib/worker_pool.h"
#include "platform/input_file.h"
#include "platform/name_text.h"
#include "platform/posix/atomic_file.h"
#include "platform/posix/locale.h"
#include "sevenzip/byte_io.h"
#include "sevenzip/lzma2_encoder.h"
#include "sevenzip/seven_z_header.h"
#include "sevenzip/seven_z_names.h"
#include "sevenzip/seven_z_reader.h"

namespace sevenzip {

namespace {

// What each folder's thread holds, for the rule for how many: an LZMA2
// encoder at level 7 (16 MiB dictionary) takes about 190 MiB, and its read
// buffer, its output and the writer's buffer 1 MiB each. Eight need about
// 1.5 GiB, so a 32-bit program gets no more than five.
constexpr uint64_t kBytesPerFolderThread = 193 << 20;

uint32_t Attributes(mode_t mode) {
  uint32_t attributes = kAttributeUnixExtension | static_cast<uint32_t>(mode & 0xFFFF) << 16;
  attributes |= S_ISDIR(mode) ? kAttributeDirectory : kAttributeArchive;
  if (!(mode & S_IWUSR)) attributes |= kAttributeReadOnly;
  return attributes;
}

// One entry of the archive with what its data turned out to be.
struct Entry {
  SevenZItem item;
  Expected expected;
};

Entry MakeEntry(const std::u16string& name, const std::string& readBackName, mode_t mode,
                std::optional<uint64_t> filetime) {
  Entry e;
  e.item.name = name;
  e.item.isDirectory = S_ISDIR(mode);
  e.item.hasTime = filetime.has_value();
  e.item.filetime = filetime.value_or(0);
  e.item.attributes = Attributes(mode);
  e.expected.name = readBackName.empty() ? platform::NameFromUtf16(name) : readBackName;
  e.expected.crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
  return e;
}

using platform::InputFile;
using platform::posix::AtomicFile;
using platform::posix::ThreadLocale;

// The work of one folder: its share of the sources, and for the first
// folder of an update the entries carried over from the old archive.
struct FolderJob {
  std::vector<size_t> sources;
  uint64_t plannedBytes = 0;
  bool carryOver = false;
  std::unique_ptr<AtomicFile> spill;  // where it is written, but for the first folder
  SevenZFolder folder;
  std::vector<Entry> carried;
  size_t dropped = 0;  // carried-over entries left out for unsafe names
};

class FolderCompressor {
 public:
  // Gives up at its next chunk once `stopped` is set: another folder failed.
  FolderCompressor(FolderJob& job, Lzma2Encoder::Sink sink, uint32_t preset,
                   const std::atomic<bool>& stopped)
      : job_(job),
        encoder_(preset, job.carryOver ? UINT64_MAX : job.plannedBytes, sink),
        stopped_(stopped) {}

  // Compresses data produced by read(buffer) until it returns 0; the
  // entry's size and CRC go to e and, when it has any data, it becomes the
  // folder's next stream.
  template <typename Read>
  void Add(Entry& e, Read read) {
    uLong crc = crc32(0, nullptr, 0);
    uint64_t size = 0;
    for (;;) {
      if (stopped_) throw archlib::Failure("stopped");
      const size_t n = read(buffer_);
      if (n == 0) break;
      encoder_.Write(buffer_.data(), n);
      crc = crc32_z(crc, buffer_.data(), n);
      size += n;
    }
    e.item.hasStream = size > 0;
    e.expected.size = size;
    e.expected.crc = static_cast<uint32_t>(crc);
    if (size > 0) {
      job_.folder.streamSizes.push_back(size);
      job_.folder.streamCrcs.push_back(e.expected.crc);
    }
  }

  void AddBytes(Entry& e, const std::string& data) {
    bool done = false;
    Add(e, [&](std::vector<unsigned char>& buffer) -> size_t {
      if (done) return 0;
      done = true;
      buffer.assign(data.begin(), data.end());
      return data.size();
    });
    buffer_.resize(kChunk);
  }

  void Finish() {
    encoder_.Finish();
    job_.folder.packedSize = encoder_.PackedSize();
    job_.folder.unpackedSize = encoder_.UnpackedSize();
    job_.folder.lzma2Property = encoder_.Property();
  }

 private:
  FolderJob& job_;
  Lzma2Encoder encoder_;
  const std::atomic<bool>& stopped_;
  std::vector<unsigned char> buffer_ = std::vector<unsigned char>(kChunk);
};

// Recompresses every entry of the old archive whose name no source takes,
// but for those with unsafe names.
void CarryOver(FolderCompressor& compressor, FolderJob& job, const SevenZOrigin& origin,
               const std::vector<Source>& sources) {
  std::unordered_set<std::string> replaced;
  for (const Source& s : sources) replaced.insert(WithoutSlash(s.archivePath));
  const SevenZReader reader(origin.fd, origin.name);
  archive_entry* entry;
  for (;;) {
    const int status = archive_read_next_header(reader.get(), &entry);
    if (status == ARCHIVE_EOF) break;
    if (status < ARCHIVE_WARN) reader.Fail("cannot read " + origin.name);
    const char* local = archive_entry_pathname(entry);
    const std::string name = WithoutSlash(local != nullptr ? local : "");
    if (replaced.count(name)) continue;
    const wchar_t* wide = archive_entry_pathname_w(entry);
    std::u16string utf16 = wide != nullptr ? WideToUtf16(wide) : platform::NameInUtf16(name);
    if (archlib::IsUnsafeName(name) || archlib::IsUnsafeName(platform::NameFromUtf16(utf16))) {
      ++job.dropped;
      continue;
    }
    if (!utf16.empty() && utf16.back() == u'/') utf16.pop_back();
    std::optional<uint64_t> time;
    if (archive_entry_mtime_is_set(entry)) {
      time = FileTime(archive_entry_mtime(entry), archive_entry_mtime_nsec(entry));
    }
    const mode_t mode = archive_entry_mode(entry);
    Entry e = MakeEntry(utf16, name, mode, time);
    if (S_ISLNK(mode)) {
      const char* target = archive_entry_symlink(entry);
      e.expected.link = target != nullptr ? target : "";
      compressor.AddBytes(e, e.expected.link);
      e.expected.size = 0;  // a reader gives the target as the link, not as data
      e.expected.crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
    } else if (!S_ISDIR(mode)) {
      compressor.Add(e, [&](std::vector<unsigned char>& buffer) {
        const la_ssize_t n = archive_read_data(reader.get(), buffer.data(), buffer.size());
        if (n < 0) reader.Fail("cannot read " + origin.name);
        return static_cast<size_t>(n);
      });
    }
    job.carried.push_back(std::move(e));
  }
}

void CompressFolder(FolderJob& job, Lzma2Encoder::Sink sink, const std::vector<Source>& sources,
                    std::vector<Entry>& entries, const SevenZOrigin* origin, uint32_t preset,
                    const std::atomic<bool>& stopped) {
  // Names from the old archive come in the same locale.
  ThreadLocale locale(ThreadLocale::Of::kEnvironment);
  FolderCompressor compressor(job, std::move(sink), preset, stopped);
  if (job.carryOver) CarryOver(compressor, job, *origin, sources);
  for (size_t i : job.sources) {
    const Source& s = sources[i];
    Entry& e = entries[i];
    if (s.IsLink()) {
      compressor.AddBytes(e, s.entry.linkTarget);
      e.expected.size = 0;
      e.expected.crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
    } else {
      // What cannot be read, or changes while it is read, stops the
      // folder: the command writes the archive again without it.
      const std::string& path = s.entry.diskPath;
      std::optional<InputFile> file;
      try {
        file.emplace(InputFile::Open(path));
      } catch (const archlib::Failure& failure) {
        throw archlib::AsReadFault(path, failure);
      }
      uint64_t read = 0;
      compressor.Add(e, [&](std::vector<unsigned char>& buffer) {
        try {
          const size_t n = file->Read(buffer.data(), buffer.size());
          read += n;
          return n;
        } catch (const archlib::Failure& failure) {
          throw archlib::AsReadFault(path, failure);
        }
      });
      archlib::CheckUnchanged(path, file->Info(), file->File().Info(), read);
    }
  }
  compressor.Finish();
}

// Bytes each source puts into a folder, as far as known before reading.
uint64_t PlannedBytes(const Source& s) {
  if (s.IsLink()) return s.entry.linkTarget.size();
  return s.entry.info.size;
}

// Splits the files and links in order into folders of about equal bytes: a
// source goes to the folder its middle byte falls in.
std::vector<FolderJob> PlanFolders(const std::vector<Source>& sources, bool carryOver,
                                   const SevenZOptions& options) {
  uint64_t total = 0;
  bool anyData = carryOver;
  for (const Source& s : sources) {
    if (s.IsFolder()) continue;
    total += PlannedBytes(s);
    anyData = true;
  }
  if (!anyData) return {};
  unsigned count =
      options.threads != 0 ? options.threads : archlib::WorkerThreads(kBytesPerFolderThread);
  count = static_cast<unsigned>(
      std::clamp<uint64_t>(total / std::max<uint64_t>(options.minFolderBytes, 1), 1, count));
  std::vector<FolderJob> jobs(count);
  jobs[0].carryOver = carryOver;
  const uint64_t share = total / count + 1;
  uint64_t before = 0;
  for (size_t i = 0; i < sources.size(); ++i) {
    if (sources[i].IsFolder()) continue;
    const uint64_t middle = before + PlannedBytes(sources[i]) / 2;
    FolderJob& job = jobs[std::min<uint64_t>(middle / share, count - 1)];
    job.sources.push_back(i);
    job.plannedBytes += PlannedBytes(sources[i]);
    before += PlannedBytes(sources[i]);
  }
  // A file larger than a share leaves the folders after it without data.
  std::erase_if(jobs, [](const FolderJob& j) { return j.sources.empty() && !j.carryOver; });
  return jobs;
}

void Seek(int fd, const std::string& name, uint64_t offset) {
  if (lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
    throw archlib::Failure("cannot write " + name + ": " + std::strerror(errno));
  }
}

}  // namespace

std::vector<Expected> WriteSevenZFolders(int fd, const std::string& name,
                                         const std::vector<Source>& sources, SevenZOrigin* origin,
                                         const SevenZOptions& options) {
  ThreadLocale locale(ThreadLocale::Of::kEnvironment);
  std::vector<Entry> entries;
  entries.reserve(sources.size());
  for (const Source& s : sources) {
    const std::string path = WithoutSlash(s.archivePath);
    const std::u16string utf16 = platform::NameInUtf16(path);
    const std::string readBack = platform::NameFromUtf16(utf16);
    entries.push_back(
        MakeEntry(utf16, readBack, s.entry.info.mode,
                  FileTime(s.entry.info.modifiedSeconds, s.entry.info.modifiedNanoseconds)));
    if (s.IsLink()) entries.back().expected.link = s.entry.linkTarget;
  }

  std::vector<FolderJob> jobs = PlanFolders(sources, origin != nullptr, options);
  // Scratch files for the other folders' data, never renamed: private.
  for (size_t i = 1; i < jobs.size(); ++i) jobs[i].spill = std::make_unique<AtomicFile>(name, 0600);

  // Every folder's output goes through a FileWriter; the first one's
  // straight into the archive after the signature header.
  Seek(fd, name, kSignatureHeaderSize);
  std::vector<std::unique_ptr<FileWriter>> outputs;
  for (const FolderJob& job : jobs) {
    outputs.push_back(job.spill
                          ? std::make_unique<FileWriter>(job.spill->Descriptor(), job.spill->Path())
                          : std::make_unique<FileWriter>(fd, name));
  }
  // The first folder on this thread, each other one on a thread of its own;
  // the first failure stops the others at their next chunk.
  std::atomic<bool> stopped{false};
  auto run = [&](unsigned i) {
    FileWriter& out = *outputs[i];
    CompressFolder(
        jobs[i], [&out](std::string_view chunk) { out.Write(chunk); }, sources, entries, origin,
        options.preset, stopped);
    out.Flush();
  };
  archlib::WorkerPool pool([&] { stopped = true; });
  pool.Run(static_cast<unsigned>(jobs.size()), run);
  if (origin != nullptr && !jobs.empty()) origin->dropped = jobs[0].dropped;

  // The archive's entries: those carried over first, as the first folder
  // holds their data ahead of the sources'.
  std::vector<SevenZItem> items;
  std::vector<Expected> expected;
  if (!jobs.empty()) {
    for (Entry& e : jobs[0].carried) {
      items.push_back(std::move(e.item));
      expected.push_back(std::move(e.expected));
    }
  }
  for (Entry& e : entries) {
    items.push_back(std::move(e.item));
    expected.push_back(std::move(e.expected));
  }

  // Folders whose files all turned out empty hold nothing and are left
  // out; the others follow each other from the signature header on.
  std::vector<SevenZFolder> folders;
  uint64_t offset = kSignatureHeaderSize;
  if (!jobs.empty() && jobs[0].folder.unpackedSize > 0) {
    offset += jobs[0].folder.packedSize;
    folders.push_back(jobs[0].folder);
  }
  Seek(fd, name, offset);
  FileWriter out(fd, name);
  for (size_t i = 1; i < jobs.size(); ++i) {
    if (jobs[i].folder.unpackedSize == 0) continue;
    CopyRange(out, jobs[i].spill->Descriptor(), jobs[i].spill->Path(), 0,
              jobs[i].folder.packedSize);
    offset += jobs[i].folder.packedSize;
    folders.push_back(jobs[i].folder);
    jobs[i].spill.reset();
  }

  std::string next;
  uint64_t nextOffset = 0;
  if (!items.empty()) {
    const std::string raw = BuildHeader(0, folders, items);
    uint8_t property = 0;
    const std::string packed = Compress(raw, options.preset, property);
    const uint64_t packedAt = offset - kSignatureHeaderSize;
    next = BuildEncodedHeader(
        packedAt, packed.size(), property, raw.size(),
        static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(raw.data()), raw.size())));
    nextOffset = packedAt + packed.size();
    out.Write(packed);
    out.Write(next);
    offset += packed.size() + next.size();
  }
  out.Flush();
  if (ftruncate(fd, static_cast<off_t>(items.empty() ? kSignatureHeaderSize : offset)) != 0) {
    throw archlib::Failure("cannot write " + name + ": " + std::strerror(errno));
  }
  const std::string signature = SignatureHeader(nextOffset, next);
  Seek(fd, name, 0);
  WriteAll(fd, name, signature.data(), signature.size());
  return expected;
}

}  // namespace sevenzip
