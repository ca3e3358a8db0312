// Writing the walked entries as members, in walk order, with their files
// compressed on worker threads. Each worker takes the next file nobody has
// taken and compresses it into memory, as far ahead of the writer as a
// budget allows; the member whose turn it is streams into the archive as
// it is compressed, however large. Memory is bounded whatever the tree: by
// the budget, a cap on entries waiting, and one encoder per worker. Every
// member's bytes depend on its file alone, so the archive is the same for
// any number of threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "archlib/left_out.h"
#include "archlib/tree_walk.h"
#include "archlib/worker_pool.h"
#include "lha/header.h"
#include "lha/method.h"
#include "lha/out_file.h"
#include "lha/verify.h"

namespace lha {

class MemberPacker;

// Threads that compress when the caller leaves it to the machine
// (archlib::WorkerThreads).
unsigned DefaultThreads();

// How much a pipeline holds in memory at most.
struct PipelineLimits {
  // Data of queued members but the one being written, and of that one.
  uint64_t budget = 16 << 20;
  uint64_t writingBudget = 1 << 20;
  // Entries queued.
  size_t queued = 1024;
};

class MemberPipeline {
 public:
  // `finished` is told of each member once all its bytes are in `out`.
  // When `leftOut` is given, a file that cannot be read (archlib::ReadFault)
  // is told there and its member left out, whatever of it was written
  // taken back; otherwise it fails the pipeline.
  MemberPipeline(const Method& method, std::optional<uint32_t> codePage, unsigned threads,
                 OutFile& out, std::function<void(const ExpectedMember&)> finished,
                 const PipelineLimits& limits = PipelineLimits(),
                 std::function<void(const archlib::ReadFault&)> leftOut = {});
  // Stops the workers, whatever they are doing.
  ~MemberPipeline();
  MemberPipeline(const MemberPipeline&) = delete;
  MemberPipeline& operator=(const MemberPipeline&) = delete;

  // Queues the entry and writes the members whose turn has come, waiting
  // for some when too many are queued. Throws archlib::Failure when the
  // archive cannot be written, or a member's file cannot be read and no
  // `leftOut` takes it.
  void Add(const archlib::TreeEntry& entry);
  // Writes every member queued.
  void Finish();

 private:
  struct Job;
  class JobSink;
  friend class JobSink;
  // How far the writer got with the first queued member.
  struct Writing {
    bool started = false;
    bool patch = false;  // its header was written before its data was known
    uint64_t headerAt = 0;
    uint64_t dataAt = 0;
    unsigned restarts = 0;
  };

  // Tells the workers to stop, whatever they are doing.
  void AskToStop();
  void Work(MemberPacker& packer);
  // Writes what has come of the first queued member; true when all of it
  // is written.
  bool Drain();
  // Under the mutex: whether Drain can write some of the first member; and
  // whether the writer, waiting for that (or, with `batch_`, for a batch
  // of members), should go on. WakeWriter tells it so; everything that
  // changes a job's state calls it.
  bool FirstReady() const;
  bool WriterCanGo() const;
  void WakeWriter();
  void WaitForWriting(std::unique_lock<std::mutex>& lock, bool batch);
  // Hands a piece of a job's data over, waiting for room in the budget.
  void Hand(Job& job, std::vector<uint8_t>& piece);
  void Restart(Job& job);

  const std::optional<uint32_t> codePage_;
  const PipelineLimits limits_;
  OutFile& out_;
  const std::function<void(const ExpectedMember&)> finished_;
  const std::function<void(const archlib::ReadFault&)> leftOut_;

  std::mutex mutex_;
  std::condition_variable work_;      // a job to take, for the workers
  std::condition_variable progress_;  // data of the first job, for the writer
  std::condition_variable room_;      // room in the budget, for the workers
  int waitingForRoom_ = 0;            // workers waiting for room
  bool writerWaiting_ = false;
  bool batch_ = false;
  std::deque<std::unique_ptr<Job>> queue_;  // front: the next to write
  uint64_t firstId_ = 0;                    // id of queue_.front()
  uint64_t nextToTake_ = 0;                 // id of the next job for a worker
  uint64_t buffered_ = 0;                   // data waiting in all jobs
  bool stopping_ = false;
  Writing writing_;  // started and restarts change under the mutex
  std::vector<std::unique_ptr<MemberPacker>> packers_;
  // Last: they start once the rest is ready, and are stopped and joined
  // before the rest goes.
  archlib::WorkerPool workers_;
};

}  // namespace lha
