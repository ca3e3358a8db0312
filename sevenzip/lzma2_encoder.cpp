#include "sevenzip/lzma2_encoder.h"

#include <algorithm>

#include "archlib/entry.h"
#include "sevenzip/byte_io.h"

namespace sevenzip {

namespace {

constexpr uint32_t kMinDictionary = 4096;

}  // namespace

Lzma2Encoder::Lzma2Encoder(uint32_t preset, uint64_t expectedBytes, Sink sink)
    : sink_(std::move(sink)), out_(kChunk) {
  if (lzma_lzma_preset(&options_, preset)) throw archlib::Failure("bad compression level");
  options_.dict_size = static_cast<uint32_t>(
      std::clamp<uint64_t>(expectedBytes, kMinDictionary, options_.dict_size));
  lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options_}, {LZMA_VLI_UNKNOWN, nullptr}};
  if (lzma_raw_encoder(&stream_, filters) != LZMA_OK) {
    throw archlib::Failure("cannot start compression (out of memory?)");
  }
  if (lzma_properties_encode(&filters[0], &property_) != LZMA_OK) {
    lzma_end(&stream_);
    throw archlib::Failure("cannot start compression");
  }
}

Lzma2Encoder::~Lzma2Encoder() {
  lzma_end(&stream_);
}

void Lzma2Encoder::Run(const unsigned char* data, size_t size, lzma_action action) {
  stream_.next_in = data;
  stream_.avail_in = size;
  for (;;) {
    stream_.next_out = out_.data();
    stream_.avail_out = out_.size();
    const lzma_ret status = lzma_code(&stream_, action);
    if (status != LZMA_OK && status != LZMA_STREAM_END) {
      throw archlib::Failure(status == LZMA_MEM_ERROR ? "out of memory while compressing"
                                                      : "compression failed");
    }
    const size_t produced = out_.size() - stream_.avail_out;
    if (produced > 0) {
      sink_(std::string_view(reinterpret_cast<const char*>(out_.data()), produced));
    }
    if (status == LZMA_STREAM_END) return;
    if (action == LZMA_RUN && stream_.avail_in == 0 && stream_.avail_out != 0) return;
  }
}

std::string Compress(const std::string& data, uint32_t preset, uint8_t& property) {
  std::string packed;
  Lzma2Encoder encoder(preset, data.size(), [&](std::string_view chunk) { packed += chunk; });
  encoder.Write(reinterpret_cast<const unsigned char*>(data.data()), data.size());
  encoder.Finish();
  property = encoder.Property();
  return packed;
}

}  // namespace sevenzip
