#include "sevenzip/seven_z_writer.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <lzma.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

#include "archlib/entry.h"
#include "archlib/unsafe_name.h"
#include "platform/posix/atomic_file.h"
#include "platform/posix/locale.h"
#include "platform/posix/regular_file.h"
#include "sevenzip/byte_io.h"
#include "sevenzip/seven_z_header.h"

namespace sevenzip {

namespace {

constexpr size_t kChunk = 1 << 20;
// Each LZMA2 encoder at level 7 takes about 190 MB (kEncoderBytes); more
// folders than kMaxThreads would cost memory for little gain.
constexpr unsigned kMaxThreads = 8;
constexpr uint64_t kEncoderBytes = 190ull << 20;
constexpr uint32_t kMinDictionary = 4096;

// Folders compressed at once by default: one per core, at least two, and no
// more encoders than a quarter of the machine's memory holds, since a
// backup runs beside the user's own work.
unsigned DefaultThreads() {
  unsigned count = std::clamp(std::thread::hardware_concurrency(), 2u, kMaxThreads);
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0) {
    const uint64_t quarter = static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 4;
    count = static_cast<unsigned>(std::clamp<uint64_t>(quarter / kEncoderBytes, 1, count));
  }
  return count;
}

std::string WithoutSlash(const std::string& path) {
  return !path.empty() && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c >= 0x10000 && c <= 0x10FFFF) {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else if (c < 0x10000 && (c < 0xD800 || c > 0xDFFF)) {
    out += static_cast<char16_t>(c);
  } else {
    out += u'\uFFFD';
  }
}

// A name in the thread's locale as UTF-16; a byte that is no character of
// the locale becomes U+FFFD, so that the entry is still stored.
std::u16string ToUtf16(const std::string& name) {
  std::u16string out;
  std::mbstate_t state{};
  const char* p = name.data();
  size_t left = name.size();
  while (left > 0) {
    wchar_t c;
    size_t n = std::mbrtowc(&c, p, left, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      out += u'\uFFFD';
      state = {};
      n = 1;
    } else {
      if (n == 0) n = 1;
      AppendUtf16(out, static_cast<char32_t>(c));
    }
    p += n;
    left -= n;
  }
  return out;
}

std::u16string WideToUtf16(const wchar_t* name) {
  std::u16string out;
  for (; *name != L'\0'; ++name) AppendUtf16(out, static_cast<char32_t>(*name));
  return out;
}

// The name as a reader in the same locale gives it back.
std::string FromUtf16(const std::u16string& name) {
  std::string out;
  std::mbstate_t state{};
  char buffer[MB_LEN_MAX];
  for (size_t i = 0; i < name.size(); ++i) {
    char32_t c = name[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < name.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (name[++i] - 0xDC00);
    }
    const size_t n = std::wcrtomb(buffer, static_cast<wchar_t>(c), &state);
    if (n == static_cast<size_t>(-1)) {
      out += '?';
      state = {};
    } else {
      out.append(buffer, n);
    }
  }
  return out;
}

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
  e.expected.name = readBackName.empty() ? FromUtf16(name) : readBackName;
  e.expected.crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
  return e;
}

// An LZMA2 stream compressed into a callback, chunk by chunk.
class Lzma2Encoder {
 public:
  using Sink = std::function<void(std::string_view)>;

  // The dictionary is cut down to expectedBytes when that is smaller: a
  // smaller dictionary takes less memory and time to set up.
  Lzma2Encoder(uint32_t preset, uint64_t expectedBytes, Sink sink) : sink_(std::move(sink)) {
    if (lzma_lzma_preset(&options_, preset)) throw archlib::Failure("bad compression level");
    options_.dict_size = static_cast<uint32_t>(
        std::clamp<uint64_t>(expectedBytes, kMinDictionary, options_.dict_size));
    lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options_}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_raw_encoder(&stream_, filters) != LZMA_OK) {
      throw archlib::Failure("cannot start compression (out of memory?)");
    }
    if (lzma_properties_encode(&filters[0], &property_) != LZMA_OK) {
      throw archlib::Failure("cannot start compression");
    }
  }
  ~Lzma2Encoder() { lzma_end(&stream_); }
  Lzma2Encoder(const Lzma2Encoder&) = delete;
  Lzma2Encoder& operator=(const Lzma2Encoder&) = delete;

  void Write(const unsigned char* data, size_t size) { Run(data, size, LZMA_RUN); }
  void Finish() { Run(nullptr, 0, LZMA_FINISH); }
  uint8_t Property() const { return property_; }
  uint64_t PackedSize() const { return stream_.total_out; }
  uint64_t UnpackedSize() const { return stream_.total_in; }

 private:
  void Run(const unsigned char* data, size_t size, lzma_action action) {
    stream_.next_in = data;
    stream_.avail_in = size;
    for (;;) {
      stream_.next_out = out_.data();
      stream_.avail_out = out_.size();
      const lzma_ret status = lzma_code(&stream_, action);
      if (status != LZMA_OK && status != LZMA_STREAM_END) {
        throw archlib::Failure(status == LZMA_MEM_ERROR ? "out of memory while compressing"
                                                        : "compression failed");
      }
      const size_t produced = out_.size() - stream_.avail_out;
      if (produced > 0) {
        sink_(std::string_view(reinterpret_cast<const char*>(out_.data()), produced));
      }
      if (status == LZMA_STREAM_END) return;
      if (action == LZMA_RUN && stream_.avail_in == 0 && stream_.avail_out != 0) return;
    }
  }

  Sink sink_;
  lzma_options_lzma options_{};
  lzma_stream stream_ = LZMA_STREAM_INIT;
  uint8_t property_ = 0;
  std::vector<unsigned char> out_ = std::vector<unsigned char>(kChunk);
};

using ArchivePtr = std::unique_ptr<archive, int (*)(archive*)>;

using platform::posix::AtomicFile;
using platform::posix::RegularFile;
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

// The folders' compression threads: the first failure is kept and stops
// the others at their next chunk.
class Cancel {
 public:
  void Fail(std::exception_ptr error) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!error_) error_ = error;
    stopped_ = true;
  }
  void Check() const {
    if (stopped_) throw archlib::Failure("stopped");
  }
  void Rethrow() {
    if (error_) std::rethrow_exception(error_);
  }

 private:
  std::mutex lock_;
  std::exception_ptr error_;
  std::atomic<bool> stopped_{false};
};

class FolderCompressor {
 public:
  FolderCompressor(FolderJob& job, Lzma2Encoder::Sink sink, uint32_t preset, Cancel& cancel)
      : job_(job),
        encoder_(preset, job.carryOver ? UINT64_MAX : job.plannedBytes, sink),
        cancel_(cancel) {}

  // Compresses data produced by read(buffer) until it returns 0; the
  // entry's size and CRC go to e and, when it has any data, it becomes the
  // folder's next stream.
  template <typename Read>
  void Add(Entry& e, Read read) {
    uLong crc = crc32(0, nullptr, 0);
    uint64_t size = 0;
    for (;;) {
      cancel_.Check();
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
  Cancel& cancel_;
  std::vector<unsigned char> buffer_ = std::vector<unsigned char>(kChunk);
};

// Recompresses every entry of the old archive whose name no source takes,
// but for those with unsafe names.
void CarryOver(FolderCompressor& compressor, FolderJob& job, const SevenZOrigin& origin,
               const std::vector<Source>& sources) {
  std::unordered_set<std::string> replaced;
  for (const Source& s : sources) replaced.insert(WithoutSlash(s.archivePath));
  ArchivePtr reader(archive_read_new(), archive_read_free);
  if (!reader) throw std::bad_alloc();
  archive_read_support_format_7zip(reader.get());
  // Read through the descriptor the caller opened as a regular file: the
  // name may meanwhile stand for something else.
  if (lseek(origin.fd, 0, SEEK_SET) != 0 ||
      archive_read_open_fd(reader.get(), origin.fd, kChunk) != ARCHIVE_OK) {
    FailReading(reader.get(), "cannot read " + origin.name, origin.fd, origin.name);
  }
  archive_entry* entry;
  for (;;) {
    const int status = archive_read_next_header(reader.get(), &entry);
    if (status == ARCHIVE_EOF) break;
    if (status < ARCHIVE_WARN) {
      FailReading(reader.get(), "cannot read " + origin.name, origin.fd, origin.name);
    }
    const char* local = archive_entry_pathname(entry);
    const std::string name = WithoutSlash(local != nullptr ? local : "");
    if (replaced.count(name)) continue;
    const wchar_t* wide = archive_entry_pathname_w(entry);
    std::u16string utf16 = wide != nullptr ? WideToUtf16(wide) : ToUtf16(name);
    if (archlib::IsUnsafeName(name) || archlib::IsUnsafeName(FromUtf16(utf16))) {
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
        if (n < 0) FailReading(reader.get(), "cannot read " + origin.name, origin.fd, origin.name);
        return static_cast<size_t>(n);
      });
    }
    job.carried.push_back(std::move(e));
  }
}

void CompressFolder(FolderJob& job, Lzma2Encoder::Sink sink, const std::vector<Source>& sources,
                    std::vector<Entry>& entries, const SevenZOrigin* origin, uint32_t preset,
                    Cancel& cancel) {
  // Names from the old archive come in the same locale.
  ThreadLocale locale(ThreadLocale::Of::kEnvironment);
  FolderCompressor compressor(job, std::move(sink), preset, cancel);
  if (job.carryOver) CarryOver(compressor, job, *origin, sources);
  for (size_t i : job.sources) {
    const Source& s = sources[i];
    Entry& e = entries[i];
    if (s.IsLink()) {
      compressor.AddBytes(e, s.entry.linkTarget);
      e.expected.size = 0;
      e.expected.crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
    } else {
      RegularFile file = RegularFile::Open(s.entry.diskPath);
      compressor.Add(e, [&](std::vector<unsigned char>& buffer) {
        return file.Read(buffer.data(), buffer.size());
      });
    }
  }
  compressor.Finish();
}

// Bytes each source puts into a folder, as far as known before reading.
uint64_t PlannedBytes(const Source& s) {
  if (s.IsLink()) return s.entry.linkTarget.size();
  return static_cast<uint64_t>(std::max<off_t>(s.entry.info.st_size, 0));
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
  unsigned count = options.threads != 0 ? options.threads : DefaultThreads();
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

void CopyInto(FileWriter& out, const AtomicFile& from, uint64_t size) {
  std::string buffer(kChunk, '\0');
  for (uint64_t done = 0; done < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size - done, buffer.size()));
    ReadAt(from.Descriptor(), from.Path(), done, buffer.data(), n);
    out.Write(std::string_view(buffer.data(), n));
    done += n;
  }
}

std::string Compress(const std::string& data, uint32_t preset, uint8_t& property) {
  std::string packed;
  Lzma2Encoder encoder(preset, data.size(), [&](std::string_view chunk) { packed += chunk; });
  encoder.Write(reinterpret_cast<const unsigned char*>(data.data()), data.size());
  encoder.Finish();
  property = encoder.Property();
  return packed;
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
    const std::u16string utf16 = ToUtf16(path);
    const std::string readBack = FromUtf16(utf16);
    entries.push_back(
        MakeEntry(utf16, readBack, s.entry.info.st_mode,
                  FileTime(s.entry.info.st_mtim.tv_sec, s.entry.info.st_mtim.tv_nsec)));
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
  Cancel cancel;
  auto run = [&](size_t i) {
    try {
      FileWriter& out = *outputs[i];
      CompressFolder(
          jobs[i], [&out](std::string_view chunk) { out.Write(chunk); }, sources, entries, origin,
          options.preset, cancel);
      out.Flush();
    } catch (...) {
      cancel.Fail(std::current_exception());
    }
  };
  {
    std::vector<std::jthread> threads;
    for (size_t i = 1; i < jobs.size(); ++i) threads.emplace_back(run, i);
    if (!jobs.empty()) run(0);
  }
  cancel.Rethrow();
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
    CopyInto(out, *jobs[i].spill, jobs[i].folder.packedSize);
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
