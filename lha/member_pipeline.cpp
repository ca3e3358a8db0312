#include "lha/member_pipeline.h"

#include <algorithm>

#include "lha/member_writer.h"

namespace lha {

namespace {

// What each worker holds of its own, for the rule for how many: its
// encoder (the window and its hash chains, about 1.3 MiB for lh7), its read
// buffer, the piece it is filling, its stack and its allocator's arena (on
// the benchmark corpus, peak memory grows by about 2.5 MiB a worker). The
// data queued for the writer is bounded apart (PipelineLimits), the same for
// any number of workers.
constexpr uint64_t kBytesPerWorker = 3 << 20;
// Data is handed from a worker to the writer in pieces of about this size.
constexpr size_t kPieceSize = 64 << 10;
// With the queue full, the writer waits for this many members to be ready
// rather than for each one: fewer threads woken for nothing.
constexpr size_t kBatch = 32;

// Thrown inside a worker when the pipeline stops: not a finding.
struct Stopped {};

// The file a job's error says could not be read, if that is what it says.
std::optional<archlib::ReadFault> ReadFaultOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const archlib::ReadFault& fault) {
    return fault;
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace

unsigned DefaultThreads() {
  return archlib::WorkerThreads(kBytesPerWorker);
}

struct MemberPipeline::Job {
  uint64_t id = 0;
  bool file = false;
  std::string diskPath;
  MemberHeader header;  // as queued; what the data fills in is in `data`
  // Set by the worker; all below under the mutex.
  std::deque<std::vector<uint8_t>> pieces;  // data not yet written
  uint64_t buffered = 0;                    // bytes in pieces
  unsigned restarts = 0;                    // times the data started over, to be stored
  bool waitingForRoom = false;              // its worker waits for room in the budget
  bool done = false;
  PackedData data;
  std::exception_ptr error;
};

// A worker's view of its job's data: gathered into pieces and handed over.
class MemberPipeline::JobSink : public DataSink {
 public:
  JobSink(MemberPipeline& pipeline, Job& job) : pipeline_(pipeline), job_(job) {}

  void Write(const uint8_t* data, size_t size) override {
    piece_.insert(piece_.end(), data, data + size);
    if (piece_.size() >= kPieceSize) Flush();
  }
  void Restart() override {
    piece_.clear();
    pipeline_.Restart(job_);
  }
  void Flush() {
    if (!piece_.empty()) pipeline_.Hand(job_, piece_);
  }

 private:
  MemberPipeline& pipeline_;
  Job& job_;
  std::vector<uint8_t> piece_;
};

MemberPipeline::MemberPipeline(const Method& method, std::optional<uint32_t> codePage,
                               unsigned threads, OutFile& out,
                               std::function<void(const ExpectedMember&)> finished,
                               const PipelineLimits& limits,
                               std::function<void(const archlib::ReadFault&)> leftOut)
    : codePage_(codePage),
      limits_(limits),
      out_(out),
      finished_(std::move(finished)),
      leftOut_(std::move(leftOut)),
      workers_([this] { AskToStop(); }) {
  threads = std::max(threads, 1u);
  // Made here, so that a failure to make them is the caller's to report.
  for (unsigned i = 0; i < threads; ++i) packers_.push_back(std::make_unique<MemberPacker>(method));
  workers_.Start(threads, [this](unsigned i) { Work(*packers_[i]); });
}

MemberPipeline::~MemberPipeline() = default;

void MemberPipeline::AskToStop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  room_.notify_all();
}

void MemberPipeline::Work(MemberPacker& packer) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    Job* job = nullptr;
    work_.wait(lock, [&] {
      while (!stopping_ && nextToTake_ < firstId_ + queue_.size()) {
        Job& next = *queue_[nextToTake_ - firstId_];
        ++nextToTake_;
        if (next.file) {
          job = &next;
          return true;
        }
      }
      return stopping_;
    });
    if (stopping_) return;
    lock.unlock();
    PackedData data;
    std::exception_ptr error;
    try {
      JobSink sink(*this, *job);
      data = packer.Pack(job->diskPath, sink);
      sink.Flush();
    } catch (const Stopped&) {
      return;
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    job->data = data;
    job->error = error;
    job->done = true;
    WakeWriter();
  }
}

void MemberPipeline::Hand(Job& job, std::vector<uint8_t>& piece) {
  const uint64_t size = piece.size();
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // The member being written takes room of its own, so that it always
    // moves on however much the others hold.
    auto room = [&] {
      if (stopping_) return true;
      if (job.id == firstId_) {
        return job.buffered == 0 || job.buffered + size <= limits_.writingBudget;
      }
      return buffered_ + size <= limits_.budget;
    };
    if (!room()) {
      ++waitingForRoom_;
      job.waitingForRoom = true;
      WakeWriter();
      room_.wait(lock, room);
      job.waitingForRoom = false;
      --waitingForRoom_;
    }
    if (stopping_) throw Stopped{};
    job.pieces.push_back(std::move(piece));
    job.buffered += size;
    buffered_ += size;
    WakeWriter();
  }
  piece = std::vector<uint8_t>();
}

void MemberPipeline::Restart(Job& job) {
  std::lock_guard<std::mutex> lock(mutex_);
  buffered_ -= job.buffered;
  job.pieces.clear();
  job.buffered = 0;
  ++job.restarts;
  if (waitingForRoom_ != 0) room_.notify_all();
  WakeWriter();
}

bool MemberPipeline::FirstReady() const {
  const Job& job = *queue_.front();
  if (!job.file || job.done) return true;
  // A member is started once it is done, so that it gets its header at
  // once, or once it fills half its room or its worker waits for room, so
  // that a large one streams through.
  if (!writing_.started) return job.waitingForRoom || job.buffered >= limits_.writingBudget / 2;
  return !job.pieces.empty() || job.restarts != writing_.restarts;
}

bool MemberPipeline::WriterCanGo() const {
  if (stopping_ || queue_.empty()) return true;
  if (!FirstReady()) return false;
  if (!batch_) return true;
  // A batch is ready, or the first member streams, or a worker waits for
  // the room that writing makes.
  const Job& first = *queue_.front();
  const Job& last = *queue_[std::min(queue_.size(), kBatch) - 1];
  return (first.file && !first.done) || waitingForRoom_ != 0 || !last.file || last.done;
}

void MemberPipeline::WakeWriter() {
  if (writerWaiting_ && WriterCanGo()) progress_.notify_one();
}

void MemberPipeline::WaitForWriting(std::unique_lock<std::mutex>& lock, bool batch) {
  batch_ = batch;
  writerWaiting_ = true;
  progress_.wait(lock, [&] { return WriterCanGo(); });
  writerWaiting_ = false;
}

void MemberPipeline::Add(const archlib::TreeEntry& entry) {
  auto job = std::make_unique<Job>();
  job->file = entry.kind == archlib::TreeEntry::Kind::kFile;
  job->diskPath = entry.diskPath;
  job->header = HeaderOf(entry, codePage_);
  const bool file = job->file;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job->id = firstId_ + queue_.size();
    queue_.push_back(std::move(job));
  }
  if (file) work_.notify_one();
  // Write what is ready; while too many are queued, wait for more.
  for (;;) {
    while (Drain()) {
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (queue_.size() < limits_.queued) return;
    WaitForWriting(lock, true);
  }
}

void MemberPipeline::Finish() {
  for (;;) {
    while (Drain()) {
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (queue_.empty()) return;
    WaitForWriting(lock, false);
  }
}

bool MemberPipeline::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (queue_.empty()) return false;
  Job& job = *queue_.front();
  // The header's names are set before the job is queued and never change.
  MemberHeader header = job.header;
  if (!job.file) {
    lock.unlock();
    const std::vector<uint8_t> bytes = EncodeHeader(header);
    out_.Write(bytes.data(), bytes.size());
    finished_(ExpectedMember{0, 0, true});
  } else {
    for (;;) {
      if (!FirstReady()) return false;
      if (job.error) {
        const std::optional<archlib::ReadFault> fault =
            leftOut_ ? ReadFaultOf(job.error) : std::nullopt;
        if (!fault) std::rethrow_exception(job.error);
        // Left out: what was written of it goes, header and all.
        buffered_ -= job.buffered;
        job.buffered = 0;
        job.pieces.clear();
        const bool started = writing_.started;
        lock.unlock();
        if (started) out_.Truncate(writing_.headerAt);
        leftOut_(*fault);
        break;
      }
      const bool done = job.done;
      const bool start = !writing_.started;
      const bool restarted = job.restarts != writing_.restarts;
      writing_.started = true;
      writing_.restarts = job.restarts;
      std::deque<std::vector<uint8_t>> pieces;
      pieces.swap(job.pieces);
      buffered_ -= job.buffered;
      job.buffered = 0;
      const PackedData data = job.data;
      if (waitingForRoom_ != 0 && !pieces.empty()) room_.notify_all();
      lock.unlock();

      if (start) {
        // A member compressed already gets its header at once; one still
        // being compressed a placeholder of the same size, filled in after.
        writing_.headerAt = out_.Offset();
        if (done) data.ApplyTo(header);
        const std::vector<uint8_t> bytes = EncodeHeader(header);
        out_.Write(bytes.data(), bytes.size());
        writing_.dataAt = out_.Offset();
        writing_.patch = !done;
      } else if (restarted) {
        out_.Truncate(writing_.dataAt);
      }
      for (const std::vector<uint8_t>& piece : pieces) out_.Write(piece.data(), piece.size());
      if (done) {
        if (writing_.patch) {
          data.ApplyTo(header);
          const std::vector<uint8_t> bytes = EncodeHeader(header);
          out_.Patch(writing_.headerAt, bytes.data(), bytes.size());
        }
        finished_(ExpectedMember{data.originalSize, data.crc, true});
        break;
      }
      lock.lock();
    }
  }
  std::lock_guard<std::mutex> relock(mutex_);
  queue_.pop_front();
  ++firstId_;
  nextToTake_ = std::max(nextToTake_, firstId_);
  writing_ = Writing{};
  // The next member's worker may wait for the room the one written had.
  if (waitingForRoom_ != 0) room_.notify_all();
  return true;
}

}  // namespace lha
