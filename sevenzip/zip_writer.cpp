#include "sevenzip/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

#include "archlib/entry.h"
#include "platform/posix/io.h"
#include "platform/posix/regular_file.h"
#include "sevenzip/byte_io.h"
#include "sevenzip/deflate.h"
#include "sevenzip/zip_format.h"

namespace sevenzip {

namespace {

constexpr uint32_t k32 = 0xFFFFFFFF;
// Made by Unix (high byte 3), so readers apply the permissions and link type
// kept in the high half of the external attributes.
constexpr uint16_t kMadeByUnix = 3 << 8 | 45;
// Files up to this size are read and compressed whole by the worker threads;
// larger ones are cut in parts compressed at kLevel on every core and joined
// into one stream. The history lost at each cut costs little: on a tarball
// of the benchmark corpus, 1 MiB parts come out 0.23% larger than one whole
// stream (4 MiB parts 0.06%, but with four times the memory).
constexpr uint64_t kWholeFileLimit = 16 << 20;
constexpr size_t kPartSize = 1 << 20;
// Compressed data waiting to be written, at most.
constexpr uint64_t kPendingBudget = 128 << 20;
// A streamed file this large gets ZIP64 sizes in its local header up front.
constexpr uint64_t kZip64StreamThreshold = 0xF0000000;
constexpr size_t kChunk = 1 << 20;

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

ZipRecord NewRecord(const Source& s) {
  ZipRecord r;
  r.name = s.archivePath;
  r.versionMadeBy = kMadeByUnix;
  r.versionNeeded = 20;
  r.flags = NeedsUtf8Flag(r.name) ? kFlagUtf8 : 0;
  r.method = kMethodStored;
  r.dosDateTime = DosDateTime(s.entry.info.st_mtime);
  r.externalAttributes = static_cast<uint32_t>(s.entry.info.st_mode & 0xFFFF) << 16;
  if (s.IsFolder()) r.externalAttributes |= 0x10;                       // MS-DOS folder
  if (!(s.entry.info.st_mode & S_IWUSR)) r.externalAttributes |= 0x01;  // read-only
  r.extra = TimeField(s.entry.info.st_mtime);
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

// Levels, as measured on the benchmark corpus with libdeflate 1.14: level 8
// takes about the time of zlib's level 6 and comes out 1.3% smaller (level
// 9 adds 0.07% for a fifth more time). Level 10 parses near-optimally for
// 1.5% more, but at three to four times the time, so it goes only where it
// saves most bytes a second: large files whose bytes are spread moderately
// (5.5 to 7 bits a byte in their first 64 KiB), such as programs, libraries
// and fonts, 150 to 280 KB a CPU second against 60 to 150 for text, tables
// and logs. Data spread wider hardly shrinks at any level.
constexpr int kLevel = 8;
constexpr int kSlowLevel = 10;
constexpr uint64_t kSlowLevelFrom = 2 << 20;
constexpr double kSlowBitsFrom = 5.5, kSlowBitsTo = 7.0;

// Bits a byte of order-0 entropy in the first 64 KiB of data.
double ByteEntropy(const unsigned char* data, size_t size) {
  size = std::min<size_t>(size, 64 << 10);
  std::array<uint32_t, 256> counts{};
  for (size_t i = 0; i < size; ++i) ++counts[data[i]];
  double bits = 0;
  for (uint32_t c : counts) {
    if (c != 0) bits -= c * std::log2(static_cast<double>(c) / size);
  }
  return size == 0 ? 0 : bits / size;
}

int LevelFor(const unsigned char* data, size_t size) {
  if (size < kSlowLevelFrom) return kLevel;
  const double bits = ByteEntropy(data, size);
  return bits >= kSlowBitsFrom && bits < kSlowBitsTo ? kSlowLevel : kLevel;
}

// One compressor per level that a thread has used, kept for its next files.
class Compressors {
 public:
  Compressor& For(const unsigned char* data, size_t size) {
    const int level = LevelFor(data, size);
    auto& c = byLevel_[static_cast<size_t>(level)];
    if (!c) c = std::make_unique<Compressor>(level);
    return *c;
  }

 private:
  std::array<std::unique_ptr<Compressor>, 13> byLevel_;
};

using platform::posix::RegularFile;

// A file read and compressed whole by a worker thread; or, when it has grown
// past kWholeFileLimit since the walk, the open file for the writer to stream.
struct Packed {
  std::vector<unsigned char> data;  // what goes into the archive
  uint16_t method = kMethodStored;
  uint32_t crc = 0;
  uint64_t size = 0;
  std::optional<RegularFile> stream;
};

// What a worker thread keeps from one file to the next.
struct PackTools {
  Compressors compressors;
  Scratch raw, packed;
};

// Reads no further than the size the file had when opened, which the
// caller holds within kWholeFileLimit.
Packed PackWhole(RegularFile& file, PackTools& tools) {
  Packed p;
  const size_t planned = static_cast<size_t>(file.Size());
  unsigned char* raw = tools.raw.Get(planned);
  const size_t size = file.ReadFully(raw, planned);
  p.size = size;
  p.crc = Crc32(0, raw, size);
  if (size > 0) {
    Compressor& compressor = tools.compressors.For(raw, size);
    const size_t room = compressor.Bound(size);
    unsigned char* packed = tools.packed.Get(room);
    const size_t n = compressor.Compress(raw, size, packed, room);
    // Data that does not shrink is stored as it is, as zip does.
    if (n < size) {
      p.data.assign(packed, packed + n);
      p.method = kMethodDeflate;
      return p;
    }
  }
  p.data.assign(raw, raw + size);
  return p;
}

// The worker threads of a pipeline, one per core, with the lock and the
// signal they share. Declared last in its pipeline, so that the threads are
// stopped and joined before anything they use is destroyed.
class Crew {
 public:
  Crew() = default;
  Crew(const Crew&) = delete;
  Crew& operator=(const Crew&) = delete;
  ~Crew() {
    {
      std::lock_guard<std::mutex> hold(lock);
      stop = true;
    }
    changed.notify_all();
    for (auto& t : threads_) t.join();
  }
  static unsigned Size() { return std::max(1u, std::thread::hardware_concurrency()); }
  void Start(const std::function<void()>& work) {
    for (unsigned i = 0; i < Size(); ++i) threads_.emplace_back(work);
  }

  std::mutex lock;
  std::condition_variable changed;
  bool stop = false;  // set under lock when the pipeline is destroyed

 private:
  std::vector<std::thread> threads_;
};

// Compresses the whole-file entries on worker threads, ahead of the writer
// but within a memory budget, and hands them over in archive order.
class PackPipeline {
 public:
  explicit PackPipeline(const std::vector<Source>& sources)
      : sources_(sources), jobs_(sources.size()) {
    for (size_t i = 0; i < sources.size(); ++i) {
      jobs_[i].parallel = sources[i].IsFile() &&
                          static_cast<uint64_t>(sources[i].entry.info.st_size) <= kWholeFileLimit;
      jobs_[i].ready = !jobs_[i].parallel;
    }
    crew_.Start([this] { Work(); });
  }

  bool Parallel(size_t i) const { return jobs_[i].parallel; }

  // Waits for entry i (taken strictly in order) and moves its result out.
  Packed Take(size_t i) {
    std::unique_lock<std::mutex> hold(crew_.lock);
    crew_.changed.wait(hold, [&] { return jobs_[i].ready; });
    if (jobs_[i].error) std::rethrow_exception(jobs_[i].error);
    return std::move(jobs_[i].packed);
  }

  // Entry i is written: its memory no longer counts and the next may start.
  void Done(size_t i) {
    {
      std::lock_guard<std::mutex> hold(crew_.lock);
      if (jobs_[i].parallel) pending_ -= jobs_[i].cost;
      nextToWrite_ = i + 1;
    }
    crew_.changed.notify_all();
  }

 private:
  struct Job {
    bool parallel = false;
    bool ready = false;
    uint64_t cost = 0;  // memory it holds until written
    Packed packed;
    std::exception_ptr error;
  };

  void Work() {
    PackTools tools;
    std::unique_lock<std::mutex> hold(crew_.lock);
    for (;;) {
      while (next_ < jobs_.size() && !jobs_[next_].parallel) ++next_;
      if (next_ >= jobs_.size() || crew_.stop) return;
      const size_t i = next_++;
      hold.unlock();
      // The memory a file takes is its size when opened, not when walked.
      std::optional<RegularFile> file;
      std::exception_ptr error;
      try {
        file.emplace(RegularFile::Open(sources_[i].entry.diskPath));
      } catch (...) {
        error = std::current_exception();
      }
      const bool whole = file && file->Size() <= kWholeFileLimit;
      const uint64_t cost = whole ? file->Size() + 1 : 0;
      hold.lock();
      crew_.changed.wait(hold, [&] {
        return crew_.stop || pending_ + cost <= kPendingBudget || i == nextToWrite_;
      });
      if (crew_.stop) return;
      pending_ += cost;
      jobs_[i].cost = cost;
      hold.unlock();
      Packed packed;
      if (whole) {
        try {
          packed = PackWhole(*file, tools);
        } catch (...) {
          error = std::current_exception();
        }
      } else {
        packed.stream = std::move(file);
      }
      hold.lock();
      jobs_[i].packed = std::move(packed);
      jobs_[i].error = error;
      jobs_[i].ready = true;
      crew_.changed.notify_all();
    }
  }

  const std::vector<Source>& sources_;
  std::vector<Job> jobs_;
  size_t next_ = 0;
  size_t nextToWrite_ = 0;
  uint64_t pending_ = 0;
  Crew crew_;
};

// Compresses the parts of a large file on every core, a few parts ahead of
// the thread that writes them in order; so its memory stays within a few
// parts a thread however large the file.
class PartPipeline {
 public:
  struct Part {
    std::vector<unsigned char> packed;
    uint32_t crc = 0;
    size_t size = 0;
    bool last = false;  // the end of the file, as planned or as found
  };

  explicit PartPipeline(RegularFile& file)
      : file_(file), count_(std::max<uint64_t>(1, (file.Size() + kPartSize - 1) / kPartSize)) {
    slots_.resize(2 * Crew::Size());
    crew_.Start([this] { Work(); });
  }
  PartPipeline(const PartPipeline&) = delete;
  PartPipeline& operator=(const PartPipeline&) = delete;

  // Waits for the next part in order and moves it out.
  Part Take() {
    std::unique_lock<std::mutex> hold(crew_.lock);
    Slot& slot = slots_[taken_ % slots_.size()];
    crew_.changed.wait(hold, [&] { return slot.ready; });
    if (slot.error) std::rethrow_exception(slot.error);
    Part part = std::move(slot.part);
    slot = Slot{};
    ++taken_;
    crew_.changed.notify_all();
    return part;
  }

 private:
  struct Slot {
    bool ready = false;
    Part part;
    std::exception_ptr error;
  };

  void Work() {
    // Set up at the first part, where a failure is handed to the writer.
    std::optional<Compressor> compressor;
    std::vector<unsigned char> raw;
    std::unique_lock<std::mutex> hold(crew_.lock);
    for (;;) {
      crew_.changed.wait(
          hold, [&] { return crew_.stop || next_ >= count_ || next_ < taken_ + slots_.size(); });
      if (crew_.stop || next_ >= count_) return;
      const uint64_t i = next_++;
      hold.unlock();
      Part part;
      std::exception_ptr error;
      try {
        if (!compressor) {
          compressor.emplace(kLevel);
          raw.resize(kPartSize);
        }
        const uint64_t offset = i * kPartSize;
        const size_t planned = static_cast<size_t>(
            std::min<uint64_t>(kPartSize, file_.Size() - std::min(offset, file_.Size())));
        part.size = platform::posix::ReadUpTo(file_.Descriptor(), file_.Path(), offset, raw.data(),
                                              planned);
        // A file that shrank since it was opened ends at its first short part.
        part.last = i + 1 == count_ || part.size < planned;
        part.crc = Crc32(0, raw.data(), part.size);
        CompressPart(*compressor, raw.data(), part.size, part.last, part.packed);
      } catch (...) {
        error = std::current_exception();
      }
      hold.lock();
      Slot& slot = slots_[i % slots_.size()];
      slot.part = std::move(part);
      slot.error = error;
      slot.ready = true;
      crew_.changed.notify_all();
    }
  }

  RegularFile& file_;
  const uint64_t count_;
  std::vector<Slot> slots_;
  uint64_t next_ = 0;
  uint64_t taken_ = 0;
  Crew crew_;
};

// Compresses a large file straight into the archive, then fills in the
// CRC and sizes in its local header.
void StreamFile(FileWriter& out, RegularFile& file, ZipRecord& r) {
  const bool zip64 = file.Size() >= kZip64StreamThreshold;
  r.method = kMethodDeflate;
  r.localOffset = out.Offset();
  out.Write(LocalHeader(r, zip64));
  uLong crc = crc32(0, nullptr, 0);
  r.size = r.compressedSize = 0;
  PartPipeline parts(file);
  for (bool last = false; !last;) {
    const PartPipeline::Part part = parts.Take();
    out.Write(
        std::string_view(reinterpret_cast<const char*>(part.packed.data()), part.packed.size()));
    crc = crc32_combine(crc, part.crc, static_cast<z_off_t>(part.size));
    r.size += part.size;
    r.compressedSize += part.packed.size();
    last = part.last;
  }
  r.crc = static_cast<uint32_t>(crc);
  if (!zip64 && (r.size >= k32 || r.compressedSize >= k32)) {
    throw archlib::Failure(file.Path() + " grew while it was being read");
  }
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

void CopyEntry(FileWriter& out, const ZipOrigin& origin, ZipRecord r,
               std::vector<ZipRecord>& written) {
  const ZipSpan span = EntrySpan(origin.fd, origin.name, r);
  r.localOffset = out.Offset();
  std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(span.length, kChunk)));
  for (uint64_t done = 0; done < span.length;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(span.length - done, buffer.size()));
    ReadAt(origin.fd, origin.name, span.offset + done, buffer.data(), n);
    out.Write(std::string_view(buffer.data(), n));
    done += n;
  }
  written.push_back(std::move(r));
}

}  // namespace

std::vector<ZipRecord> WriteZip(int fd, const std::string& name, const std::vector<Source>& sources,
                                const ZipOrigin* origin) {
  FileWriter out(fd, name);
  std::vector<ZipRecord> written;
  if (origin != nullptr) {
    std::unordered_set<std::string> replaced;
    for (const Source& s : sources) replaced.insert(s.archivePath);
    for (const ZipRecord& r : origin->records) {
      if (!replaced.count(r.name)) CopyEntry(out, *origin, r, written);
    }
  }

  PackPipeline pipeline(sources);
  for (size_t i = 0; i < sources.size(); ++i) {
    const Source& s = sources[i];
    ZipRecord r = NewRecord(s);
    if (s.IsFile() && !pipeline.Parallel(i)) {
      RegularFile file = RegularFile::Open(s.entry.diskPath);
      StreamFile(out, file, r);
    } else {
      std::string data;
      Packed p;
      if (s.IsFile()) p = pipeline.Take(i);
      if (p.stream) {
        StreamFile(out, *p.stream, r);
      } else if (s.IsFile()) {
        r.method = p.method;
        r.crc = p.crc;
        r.size = p.size;
        r.compressedSize = p.data.size();
        r.localOffset = out.Offset();
        out.Write(LocalHeader(r, false));
        out.Write(std::string_view(reinterpret_cast<const char*>(p.data.data()), p.data.size()));
      } else {
        // A link keeps its target as its data; a folder has none.
        if (s.IsLink()) data = s.entry.linkTarget;
        r.crc = Crc32(0, data.data(), data.size());
        r.size = r.compressedSize = data.size();
        r.versionNeeded = 10;
        r.localOffset = out.Offset();
        out.Write(LocalHeader(r, false));
        out.Write(data);
      }
    }
    pipeline.Done(i);
    written.push_back(std::move(r));
  }

  std::string directory;
  const uint64_t cdOffset = out.Offset();
  for (const ZipRecord& r : written) AppendCentral(directory, r);
  const uint64_t cdSize = directory.size();
  AppendEnd(directory, written.size(), cdOffset, cdSize);
  out.Write(directory);
  out.Flush();
  return written;
}

}  // namespace sevenzip
