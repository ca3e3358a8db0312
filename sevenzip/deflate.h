// Deflate through libdeflate, which compresses whole buffers only: files
// are compressed whole, and large ones in parts compressed apart (on all
// cores) that join into one Deflate stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct libdeflate_compressor;
struct libdeflate_decompressor;

namespace sevenzip {

// Memory kept from one use to the next, its new bytes left as they are.
class Scratch {
 public:
  unsigned char* Get(size_t size) {
    if (size > capacity_) {
      data_ = std::make_unique_for_overwrite<unsigned char[]>(size);
      capacity_ = size;
    }
    return data_.get();
  }

 private:
  std::unique_ptr<unsigned char[]> data_;
  size_t capacity_ = 0;
};

// A compressor at one level, kept to be used again: setting one up costs
// more than compressing a small file.
class Compressor {
 public:
  explicit Compressor(int level);
  int Level() const { return level_; }
  // The most that Compress may write for `size` bytes.
  size_t Bound(size_t size) const;
  // Writes the raw Deflate stream of in (ending with its final block) to
  // out, which holds Bound(size) bytes, and returns its length. Throws
  // archlib::Failure.
  size_t Compress(const unsigned char* in, size_t size, unsigned char* out, size_t room);

 private:
  struct Free {
    void operator()(libdeflate_compressor* c) const;
  };
  friend void CompressPart(Compressor&, const unsigned char*, size_t, bool,
                           std::vector<unsigned char>&);
  int level_;
  std::unique_ptr<libdeflate_compressor, Free> compressor_;
  Scratch room_;  // for the parts of a stream
};

// Replaces out (which then holds no more memory than its bytes) by in
// compressed as one part of a longer stream. The last
// part ends the stream; any other ends on a byte boundary, after an empty
// stored block and with no block marked final, so that the next part's
// blocks may follow it directly. Throws archlib::Failure.
void CompressPart(Compressor& compressor, const unsigned char* in, size_t size, bool last,
                  std::vector<unsigned char>& out);

// A decompressor for whole members, kept to be used again.
class Decompressor {
 public:
  Decompressor();
  enum class Outcome { kDone, kDamaged, kSizeDiffers, kPackedSizeDiffers };
  // Decompresses packed, which must hold one whole stream of exactly
  // `size` bytes and nothing after it, into out.
  Outcome Decompress(const unsigned char* packed, size_t packedSize, unsigned char* out,
                     size_t size);

 private:
  struct Free {
    void operator()(libdeflate_decompressor* d) const;
  };
  std::unique_ptr<libdeflate_decompressor, Free> decompressor_;
};

// CRC-32 of the ZIP format, continued from crc (0 to start).
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

}  // namespace sevenzip
