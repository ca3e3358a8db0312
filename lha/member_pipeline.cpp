#include "lha/member_pipeline.h"

#include <sched.h>

#include <algorithm>

#include "lha/member_writer.h"

namespace lha {

namespace {

constexpr unsigned kMaxThreads = 8;
// Data is handed from a worker to the writer in pieces of about this size.
constexpr size_t kPieceSize = 64 << 10;

// Thrown inside a worker when the pipeline stops: not a finding.
struct Stopped {};

}  // namespace

unsigned DefaultThreads() {
  unsigned cores = std::thread::hardware_concurrency();
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    cores = static_cast<unsigned>(CPU_COUNT(&allowed));
  }
  return std::clamp(cores, 1u, kMaxThreads);
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
                               const PipelineLimits& limits)
    : codePage_(codePage), limits_(limits), out_(out), finished_(std::move(finished)) {
  threads = std::max(threads, 1u);
  // Made here, so that a failure to make them is the caller's to report.
  for (unsigned i = 0; i < threads; ++i) packers_.push_back(std::make_unique<MemberPacker>(method));
  try {
    for (unsigned i = 0; i < threads; ++i) {
      workers_.emplace_back([this, i] { Work(*packers_[i]); });
    }
  } catch (...) {
    Stop();
    throw;
  }
}

MemberPipeline::~MemberPipeline() {
  Stop();
}

void MemberPipeline::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : workers_) {
    if (t.joinable()) t.join();
  }
}

void MemberPipeline::Work(MemberPacker& packer) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    Job* job = nullptr;
    changed_.wait(lock, [&] {
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
    changed_.notify_all();
  }
}

void MemberPipeline::Hand(Job& job, std::vector<uint8_t>& piece) {
  const uint64_t size = piece.size();
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // The member being written takes room of its own, so that it always
    // moves on however much the others hold.
    changed_.wait(lock, [&] {
      if (stopping_) return true;
      if (job.id == firstId_)
        return job.buffered == 0 || job.buffered + size <= limits_.writingBudget;
      return buffered_ + size <= limits_.budget;
    });
    if (stopping_) throw Stopped{};
    job.pieces.push_back(std::move(piece));
    job.buffered += size;
    buffered_ += size;
  }
  changed_.notify_all();
  piece = std::vector<uint8_t>();
  piece.reserve(kPieceSize);
}

void MemberPipeline::Restart(Job& job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    buffered_ -= job.buffered;
    job.pieces.clear();
    job.buffered = 0;
    ++job.restarts;
  }
  changed_.notify_all();
}

void MemberPipeline::Add(const archlib::TreeEntry& entry) {
  auto job = std::make_unique<Job>();
  job->file = entry.kind == archlib::TreeEntry::Kind::kFile;
  job->diskPath = entry.diskPath;
  job->header = HeaderOf(entry, codePage_);
  bool full;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job->id = firstId_ + queue_.size();
    queue_.push_back(std::move(job));
    full = queue_.size() >= limits_.queued;
  }
  changed_.notify_all();
  // Write what has come; while too many are queued, the first completely.
  while (Drain(full)) {
    std::lock_guard<std::mutex> lock(mutex_);
    full = queue_.size() >= limits_.queued;
  }
}

void MemberPipeline::Finish() {
  while (Drain(true)) {
  }
}

bool MemberPipeline::Drain(bool wait) {
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
      if (wait) {
        changed_.wait(lock, [&] {
          return job.done || !job.pieces.empty() || job.restarts != writing_.restarts;
        });
      }
      if (job.error) std::rethrow_exception(job.error);
      const bool done = job.done;
      const bool restarted = job.restarts != writing_.restarts;
      writing_.restarts = job.restarts;
      std::deque<std::vector<uint8_t>> pieces;
      pieces.swap(job.pieces);
      buffered_ -= job.buffered;
      job.buffered = 0;
      const PackedData data = job.data;
      lock.unlock();
      changed_.notify_all();

      if (!writing_.started) {
        // A member compressed already gets its header at once; one still
        // being compressed a placeholder of the same size, filled in after.
        writing_.started = true;
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
      if (!wait) return false;
      lock.lock();
    }
  }
  {
    std::lock_guard<std::mutex> relock(mutex_);
    queue_.pop_front();
    ++firstId_;
    nextToTake_ = std::max(nextToTake_, firstId_);
    writing_ = Writing{};
  }
  changed_.notify_all();
  return true;
}

}  // namespace lha
