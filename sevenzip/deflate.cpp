#include "sevenzip/deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include "archlib/entry.h"

namespace sevenzip {

namespace {

// Where the final block of a raw Deflate stream starts and where the whole
// stream ends, in bits from its first byte.
struct FinalBlock {
  uint64_t start;
  uint64_t end;
};

// libdeflate says nothing of where its blocks lie, so zlib finds them: it
// decodes the stream stopping at each block boundary, where it tells how
// many bits of the last byte it took are left. Checks on the way that the
// stream holds `size` bytes and ends in its last byte.
FinalBlock FindFinalBlock(const unsigned char* packed, size_t packedSize, size_t size) {
  struct Inflater {
    z_stream z{};
    Inflater() {
      if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        throw archlib::Failure("cannot start decompression");
    }
    ~Inflater() { inflateEnd(&z); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
  } inflater;
  z_stream& z = inflater.z;
  // The decoded bytes are not needed: zlib keeps its own window.
  unsigned char sink[16 << 10];
  z.next_in = const_cast<unsigned char*>(packed);
  z.avail_in = static_cast<uInt>(packedSize);
  auto bitsTaken = [&] { return uint64_t{z.total_in} * 8 - (z.data_type & 7); };
  uint64_t start = 0, end = 0;
  for (;;) {
    if (z.avail_out == 0) {
      z.next_out = sink;
      z.avail_out = sizeof sink;
    }
    const int status = inflate(&z, Z_BLOCK);
    if (status == Z_STREAM_END) break;
    if (status != Z_OK) throw archlib::Failure("compressed part does not decode");
    // Stopped after a block (128): after the final one (64), the stream
    // ends there; after another, the next may be the final one. (The call
    // that then ends the stream skips the padding bits.)
    if (z.data_type & 128) (z.data_type & 64 ? end : start) = bitsTaken();
  }
  if (z.total_out != size || (end + 7) / 8 != packedSize || start >= end) {
    throw archlib::Failure("compressed part does not decode to its data");
  }
  return {start, end};
}

}  // namespace

void Compressor::Free::operator()(libdeflate_compressor* c) const {
  libdeflate_free_compressor(c);
}

Compressor::Compressor(int level) : level_(level), compressor_(libdeflate_alloc_compressor(level)) {
  if (!compressor_) throw archlib::Failure("cannot start compression");
}

size_t Compressor::Bound(size_t size) const {
  return libdeflate_deflate_compress_bound(compressor_.get(), size);
}

size_t Compressor::Compress(const unsigned char* in, size_t size, unsigned char* out, size_t room) {
  const size_t n = libdeflate_deflate_compress(compressor_.get(), in, size, out, room);
  if (n == 0) throw archlib::Failure("compression failed");
  return n;
}

void CompressPart(Compressor& compressor, const unsigned char* in, size_t size, bool last,
                  std::vector<unsigned char>& out) {
  const size_t room = compressor.Bound(size);
  unsigned char* packed = compressor.room_.Get(room);
  const size_t n = compressor.Compress(in, size, packed, room);
  // The bytes and room for an empty stored block, no more.
  std::vector<unsigned char> exact;
  exact.reserve(n + 5);
  exact.assign(packed, packed + n);
  out = std::move(exact);
  if (last) return;
  const FinalBlock final = FindFinalBlock(out.data(), out.size(), size);
  // The first header bit of a block marks it final.
  unsigned char& mark = out[final.start / 8];
  const unsigned char bit = static_cast<unsigned char>(1u << (final.start % 8));
  const unsigned padding = static_cast<unsigned>(out.size() * 8 - final.end);
  if (!(mark & bit) || (out.back() >> (8 - padding)) != 0) {
    throw archlib::Failure("compressed part ends unexpectedly");
  }
  mark &= static_cast<unsigned char>(~bit);
  // An empty stored block: three zero header bits after the end of the
  // last block (in the zero padding if it has room, else in one more
  // byte), then zeros to the byte boundary, the length 0 and its
  // complement.
  if (padding < 3) out.push_back(0);
  out.insert(out.end(), {0x00, 0x00, 0xFF, 0xFF});
}

void Decompressor::Free::operator()(libdeflate_decompressor* d) const {
  libdeflate_free_decompressor(d);
}

Decompressor::Decompressor() : decompressor_(libdeflate_alloc_decompressor()) {
  if (!decompressor_) throw archlib::Failure("cannot start decompression");
}

Decompressor::Outcome Decompressor::Decompress(const unsigned char* packed, size_t packedSize,
                                               unsigned char* out, size_t size) {
  size_t taken = 0, produced = 0;
  const libdeflate_result result = libdeflate_deflate_decompress_ex(
      decompressor_.get(), packed, packedSize, out, size, &taken, &produced);
  if (result == LIBDEFLATE_INSUFFICIENT_SPACE) return Outcome::kSizeDiffers;
  if (result != LIBDEFLATE_SUCCESS) return Outcome::kDamaged;
  if (produced != size) return Outcome::kSizeDiffers;
  if (taken != packedSize) return Outcome::kPackedSizeDiffers;
  return Outcome::kDone;
}

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  return libdeflate_crc32(crc, data, size);
}

}  // namespace sevenzip
