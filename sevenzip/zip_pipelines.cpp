#include "sevenzip/zip_pipelines.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "archlib/entry.h"
#include "archlib/left_out.h"
#include "sevenzip/deflate.h"

namespace sevenzip {

namespace {

// Files up to this size are read and compressed whole by the worker threads;
// larger ones are cut in parts compressed at kLevel on worker threads and
// joined into one stream. The history lost at each cut costs little: on a
// tarball of the benchmark corpus, 1 MiB parts come out 0.23% larger than
// one whole stream (4 MiB parts 0.06%, but with four times the memory).
constexpr uint64_t kWholeFileLimit = 16 << 20;
constexpr size_t kPartSize = 1 << 20;
// Compressed data waiting to be written, at most, whatever the number of
// threads.
constexpr uint64_t kPendingBudget = 128 << 20;
// What each thread holds of its own, for the rule for how many: a whole-file
// worker a file read whole and the room to compress it into (16 MiB each at
// most) and its compressors; a part worker a part read, its compressed copy
// and the compressor's room (1 MiB each), and two parts waiting to be
// written.
constexpr uint64_t kBytesPerWholeFileThread = 36 << 20;
constexpr uint64_t kBytesPerPartThread = 6 << 20;

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

// What a whole-file worker keeps from one file to the next.
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
  archlib::CheckUnchanged(file.Path(), file.Info(), file.File().Info(), size);
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

}  // namespace

Crew::Crew(uint64_t bytesPerThread)
    : size_(archlib::WorkerThreads(bytesPerThread)), pool_([this] {
        {
          std::lock_guard<std::mutex> hold(lock);
          stop = true;
        }
        changed.notify_all();
      }) {}

void Crew::Start(const std::function<void()>& work) {
  pool_.Start(size_, [work](unsigned) { work(); });
}

void Crew::Wait(std::unique_lock<std::mutex>& hold, const std::function<bool()>& ready) {
  changed.wait(hold, [&] { return stop || ready(); });
  if (ready()) return;
  // Only a thread's work that threw stops the crew while the writer waits.
  hold.unlock();
  pool_.Join();
  throw archlib::Failure("compression stopped");
}

PackPipeline::PackPipeline(const std::vector<Source>& sources)
    : sources_(sources), jobs_(sources.size()), crew_(kBytesPerWholeFileThread) {
  for (size_t i = 0; i < sources.size(); ++i) {
    jobs_[i].parallel = sources[i].IsFile() && sources[i].entry.info.size <= kWholeFileLimit;
    jobs_[i].ready = !jobs_[i].parallel;
  }
  crew_.Start([this] { Work(); });
}

Packed PackPipeline::Take(size_t i) {
  std::unique_lock<std::mutex> hold(crew_.lock);
  crew_.Wait(hold, [&] { return jobs_[i].ready; });
  if (jobs_[i].error) std::rethrow_exception(jobs_[i].error);
  return std::move(jobs_[i].packed);
}

void PackPipeline::Done(size_t i) {
  {
    std::lock_guard<std::mutex> hold(crew_.lock);
    if (jobs_[i].parallel) pending_ -= jobs_[i].cost;
    nextToWrite_ = i + 1;
  }
  crew_.changed.notify_all();
}

void PackPipeline::Work() {
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
    const std::string& path = sources_[i].entry.diskPath;
    try {
      file.emplace(RegularFile::Open(path));
    } catch (const archlib::Failure& failure) {
      error = std::make_exception_ptr(archlib::AsReadFault(path, failure));
    }
    const bool whole = file && file->Size() <= kWholeFileLimit;
    const uint64_t cost = whole ? file->Size() + 1 : 0;
    hold.lock();
    crew_.changed.wait(
        hold, [&] { return crew_.stop || pending_ + cost <= kPendingBudget || i == nextToWrite_; });
    if (crew_.stop) return;
    pending_ += cost;
    jobs_[i].cost = cost;
    hold.unlock();
    Packed packed;
    if (whole) {
      try {
        packed = PackWhole(*file, tools);
      } catch (const archlib::Failure& failure) {
        error = std::make_exception_ptr(archlib::AsReadFault(path, failure));
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

PartPipeline::PartPipeline(RegularFile& file)
    : file_(file),
      count_(std::max<uint64_t>(1, (file.Size() + kPartSize - 1) / kPartSize)),
      crew_(kBytesPerPartThread) {
  slots_.resize(2 * crew_.Size());
  crew_.Start([this] { Work(); });
}

PartPipeline::Part PartPipeline::Take() {
  std::unique_lock<std::mutex> hold(crew_.lock);
  Slot& slot = slots_[taken_ % slots_.size()];
  crew_.Wait(hold, [&] { return slot.ready; });
  if (slot.error) std::rethrow_exception(slot.error);
  Part part = std::move(slot.part);
  slot = Slot{};
  ++taken_;
  crew_.changed.notify_all();
  return part;
}

void PartPipeline::Work() {
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
      try {
        part.size = file_.File().ReadUpTo(offset, raw.data(), planned);
      } catch (const archlib::Failure& failure) {
        throw archlib::AsReadFault(file_.Path(), failure);
      }
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

}  // namespace sevenzip
