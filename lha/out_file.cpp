#include "lha/out_file.h"

namespace lha {

namespace {

constexpr size_t kBufferSize = 1 << 18;

}  // namespace

OutFile::OutFile(const platform::OpenFile& file) : file_(file) {
  buffer_.reserve(kBufferSize);
  offset_ = file_.CurrentSize();
}

void OutFile::Write(const uint8_t* data, size_t size) {
  if (buffer_.size() + size > kBufferSize) {
    Flush();
    if (size >= kBufferSize) {
      file_.WriteAt(offset_, data, size);
      offset_ += size;
      return;
    }
  }
  buffer_.insert(buffer_.end(), data, data + size);
}

void OutFile::Flush() {
  file_.WriteAt(offset_, buffer_.data(), buffer_.size());
  offset_ += buffer_.size();
  buffer_.clear();
}

void OutFile::Patch(uint64_t offset, const uint8_t* data, size_t size) {
  Flush();
  file_.WriteAt(offset, data, size);
}

void OutFile::Truncate(uint64_t offset) {
  Flush();
  file_.Resize(offset);
  offset_ = offset;
}

}  // namespace lha
