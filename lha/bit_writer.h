// Writing a stream of bit fields, most significant bit first, as the LHA
// block format stores them. Bytes are handed to a sink in large pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace lha {

using ByteSink = std::function<void(const uint8_t* data, size_t size)>;

class BitWriter {
 public:
  explicit BitWriter(ByteSink sink) : sink_(std::move(sink)), bytes_(kFlushAt + 4) {}

  // Appends the low `count` bits of value (count <= 32).
  void Put(int count, uint32_t value) {
    acc_ = (acc_ << count) | (value & ((uint64_t{1} << count) - 1));
    pending_ += count;
    if (pending_ >= 32) Spill();
  }

  // Bits written so far, including those not yet handed to the sink.
  uint64_t BitCount() const { return (flushedBytes_ + used_) * 8 + pending_; }

  // Drops anything unwritten and counts from zero again.
  void Reset() {
    used_ = 0;
    acc_ = 0;
    pending_ = 0;
    flushedBytes_ = 0;
  }

  // Pads the last byte with zero bits and hands everything to the sink.
  void Finish();

 private:
  static constexpr size_t kFlushAt = 1 << 16;
  // Moves the oldest 32 of the pending bits (32 to 63 of them) to bytes_.
  void Spill() {
    pending_ -= 32;
    const uint32_t word = static_cast<uint32_t>(acc_ >> pending_);
    uint8_t* p = bytes_.data() + used_;
    p[0] = static_cast<uint8_t>(word >> 24);
    p[1] = static_cast<uint8_t>(word >> 16);
    p[2] = static_cast<uint8_t>(word >> 8);
    p[3] = static_cast<uint8_t>(word);
    used_ += 4;
    if (used_ >= kFlushAt) Flush();
  }
  void Flush();

  ByteSink sink_;
  std::vector<uint8_t> bytes_;
  size_t used_ = 0;  // bytes of bytes_ written
  uint64_t acc_ = 0;
  int pending_ = 0;
  uint64_t flushedBytes_ = 0;
};

}  // namespace lha
