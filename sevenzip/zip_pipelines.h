// The ZIP writer's two pipelines of worker threads. One compresses whole
// files (up to 16 MiB) ahead of the writer, within a memory budget, and
// hands them over in archive order; the other compresses a larger file in
// parts a few ahead of the writer, which joins them into one Deflate
// stream. Every file and every part is compressed on its own, so the
// archive is the same for any number of threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "archlib/worker_pool.h"
#include "platform/input_file.h"
#include "sevenzip/source.h"
#include "sevenzip/zip_reader.h"

namespace sevenzip {

using RegularFile = platform::InputFile;

// A file read and compressed whole by a worker thread; or, when it has grown
// past the whole-file limit since the walk, the open file for the writer to
// stream.
struct Packed {
  std::vector<unsigned char> data;  // what goes into the archive
  uint16_t method = kMethodStored;
  uint32_t crc = 0;
  uint64_t size = 0;
  std::optional<RegularFile> stream;
};

// The worker threads of a pipeline, as many as archlib::WorkerThreads
// gives for what each holds, with the lock and the signal they share.
// Declared last in its pipeline, so that the threads are stopped and joined
// before anything they use is destroyed.
class Crew {
 public:
  explicit Crew(uint64_t bytesPerThread);
  unsigned Size() const { return size_; }
  // Starts the threads, each running work. Throws archlib::Failure when the
  // system cannot start one.
  void Start(const std::function<void()>& work);
  // Waits under `hold` (on lock) until ready() is true, and throws what
  // made a thread's work give up instead, if it did.
  void Wait(std::unique_lock<std::mutex>& hold, const std::function<bool()>& ready);

  std::mutex lock;
  std::condition_variable changed;
  bool stop = false;  // set under lock when the pipeline stops

 private:
  const unsigned size_;
  archlib::WorkerPool pool_;
};

// Compresses the whole-file entries on worker threads, ahead of the writer
// but within a memory budget, and hands them over in archive order.
class PackPipeline {
 public:
  explicit PackPipeline(const std::vector<Source>& sources);

  // Whether entry i is a file for the workers; a larger one the writer
  // streams itself.
  bool Parallel(size_t i) const { return jobs_[i].parallel; }
  // Waits for entry i (taken strictly in order) and moves its result out.
  Packed Take(size_t i);
  // Entry i is written: its memory no longer counts and the next may start.
  void Done(size_t i);

 private:
  struct Job {
    bool parallel = false;
    bool ready = false;
    uint64_t cost = 0;  // memory it holds until written
    Packed packed;
    std::exception_ptr error;
  };

  void Work();

  const std::vector<Source>& sources_;
  std::vector<Job> jobs_;
  size_t next_ = 0;
  size_t nextToWrite_ = 0;
  uint64_t pending_ = 0;
  Crew crew_;
};

// Compresses the parts of a large file on worker threads, a few parts ahead
// of the thread that writes them in order; so its memory stays within a few
// parts a thread however large the file.
class PartPipeline {
 public:
  struct Part {
    std::vector<unsigned char> packed;
    uint32_t crc = 0;
    size_t size = 0;
    bool last = false;  // the end of the file, as planned or as found
  };

  explicit PartPipeline(RegularFile& file);
  PartPipeline(const PartPipeline&) = delete;
  PartPipeline& operator=(const PartPipeline&) = delete;

  // Waits for the next part in order and moves it out.
  Part Take();

 private:
  struct Slot {
    bool ready = false;
    Part part;
    std::exception_ptr error;
  };

  void Work();

  RegularFile& file_;
  const uint64_t count_;
  std::vector<Slot> slots_;
  uint64_t next_ = 0;
  uint64_t taken_ = 0;
  Crew crew_;
};

}  // namespace sevenzip
