// LZMA2 through liblzma, for the 7z writer: a raw stream compressed into a
// callback a chunk at a time, so that a folder of any size needs no more
// memory than the encoder's own; and a whole buffer compressed at once, for
// the archive's header.
#pragma once

#include <lzma.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sevenzip {

class Lzma2Encoder {
 public:
  using Sink = std::function<void(std::string_view)>;

  // The dictionary of the preset is cut down to expectedBytes when that is
  // smaller: a smaller dictionary takes less memory and time to set up.
  // Throws archlib::Failure.
  Lzma2Encoder(uint32_t preset, uint64_t expectedBytes, Sink sink);
  ~Lzma2Encoder();
  Lzma2Encoder(const Lzma2Encoder&) = delete;
  Lzma2Encoder& operator=(const Lzma2Encoder&) = delete;

  void Write(const unsigned char* data, size_t size) { Run(data, size, LZMA_RUN); }
  void Finish() { Run(nullptr, 0, LZMA_FINISH); }
  // The byte 7z stores for the coder: the dictionary size.
  uint8_t Property() const { return property_; }
  uint64_t PackedSize() const { return stream_.total_out; }
  uint64_t UnpackedSize() const { return stream_.total_in; }

 private:
  void Run(const unsigned char* data, size_t size, lzma_action action);

  Sink sink_;
  lzma_options_lzma options_{};
  lzma_stream stream_ = LZMA_STREAM_INIT;
  uint8_t property_ = 0;
  std::vector<unsigned char> out_;
};

// data compressed whole; its coder's property byte goes to `property`.
std::string Compress(const std::string& data, uint32_t preset, uint8_t& property);

}  // namespace sevenzip
