#include "lha/bit_writer.h"

namespace lha {

void BitWriter::Spill() {
  while (pending_ >= 8) {
    pending_ -= 8;
    bytes_.push_back(static_cast<uint8_t>(acc_ >> pending_));
  }
  if (bytes_.size() >= kFlushAt) {
    sink_(bytes_.data(), bytes_.size());
    flushedBytes_ += bytes_.size();
    bytes_.clear();
  }
}

void BitWriter::Finish() {
  if (pending_ % 8 != 0) Put(8 - pending_ % 8, 0);
  Spill();
  if (!bytes_.empty()) sink_(bytes_.data(), bytes_.size());
  flushedBytes_ += bytes_.size();
  bytes_.clear();
}

}  // namespace lha
