#include "lha/bit_writer.h"

namespace lha {

void BitWriter::Flush() {
  sink_(bytes_.data(), used_);
  flushedBytes_ += used_;
  used_ = 0;
}

void BitWriter::Finish() {
  if (pending_ % 8 != 0) Put(8 - pending_ % 8, 0);
  while (pending_ >= 8) {
    pending_ -= 8;
    bytes_[used_++] = static_cast<uint8_t>(acc_ >> pending_);
  }
  if (used_ != 0) Flush();
}

}  // namespace lha
