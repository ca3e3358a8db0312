// Parts compressed apart must join into one Deflate stream that any
// decoder reads as the whole, whatever the level and whatever bit the last
// block of a part ends on.
#include "sevenzip/deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "testing/support.h"

namespace sevenzip {
namespace {

using Bytes = std::vector<unsigned char>;

// Words from a small vocabulary: text that compresses well, with matches
// reaching back across part boundaries. And bytes that do not compress.
Bytes Text(std::mt19937& random, size_t size) {
  const std::string text = test_support::Words(random, size);
  return Bytes(text.begin(), text.end());
}
Bytes Noise(std::mt19937& random, size_t size) {
  const std::string noise = test_support::Noise(random, size);
  return Bytes(noise.begin(), noise.end());
}

// Inflates a raw stream with zlib; fails the test unless the stream ends
// exactly at the end of the data.
Bytes InflateWithZlib(const Bytes& packed, size_t size) {
  Bytes out(size + 1);
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
  z.next_in = const_cast<unsigned char*>(packed.data());
  z.avail_in = static_cast<uInt>(packed.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(z.avail_in, 0u);
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

// Compresses data cut at the given sizes and joins the parts.
Bytes Join(Compressor& compressor, const Bytes& data, const std::vector<size_t>& cuts) {
  Bytes joined, part;
  size_t at = 0;
  for (size_t i = 0; i < cuts.size(); ++i) {
    CompressPart(compressor, data.data() + at, cuts[i], i + 1 == cuts.size(), part);
    joined.insert(joined.end(), part.begin(), part.end());
    at += cuts[i];
  }
  EXPECT_EQ(at, data.size());
  return joined;
}

TEST(DeflateParts, JoinedPartsOfTextNoiseZerosAndNothingDecodeAsTheWholeAtEveryLevel) {
  std::mt19937 random(7);
  Bytes data = Text(random, 300000);
  const Bytes noise = Noise(random, 70000);  // stored blocks
  data.insert(data.end(), noise.begin(), noise.end());
  data.insert(data.end(), 100000, 0);
  const Bytes tail = Text(random, 5000);
  data.insert(data.end(), tail.begin(), tail.end());
  // An empty part in the middle and a last part of one byte.
  const std::vector<size_t> cuts = {131072, 168928, 0, 70000, 100000, 4999, 1};
  Decompressor decompressor;
  for (int level : {1, 6, 8, 10, 12}) {
    Compressor compressor(level);
    const Bytes joined = Join(compressor, data, cuts);
    EXPECT_EQ(InflateWithZlib(joined, data.size()), data) << "level " << level;
    Bytes out(data.size());
    EXPECT_EQ(decompressor.Decompress(joined.data(), joined.size(), out.data(), out.size()),
              Decompressor::Outcome::kDone)
        << "level " << level;
    EXPECT_EQ(out, data) << "level " << level;
  }
}

// The empty stored block after a part starts in the padding of its last
// byte when three bits are free there, else in a byte of its own: both
// must join.
TEST(DeflateParts, PartsEndingAtEveryBitOfTheirLastByteJoin) {
  std::mt19937 random(11);
  Compressor compressor(8);
  Bytes part;
  bool sawShort = false, sawRoom = false;
  for (size_t size = 1; size < 400; ++size) {
    const Bytes first = Text(random, size);
    const Bytes second = Text(random, 50);
    Bytes whole = first;
    whole.insert(whole.end(), second.begin(), second.end());
    // A lone final part tells how many bits the last byte leaves free.
    CompressPart(compressor, first.data(), first.size(), true, part);
    const size_t finalSize = part.size();
    const Bytes joined = Join(compressor, whole, {first.size(), second.size()});
    CompressPart(compressor, first.data(), first.size(), false, part);
    // Four bytes of empty stored block, one more when fewer than three bits
    // were free.
    ASSERT_TRUE(part.size() == finalSize + 4 || part.size() == finalSize + 5) << size;
    (part.size() == finalSize + 5 ? sawShort : sawRoom) = true;
    ASSERT_EQ(InflateWithZlib(joined, whole.size()), whole) << size;
  }
  EXPECT_TRUE(sawShort);
  EXPECT_TRUE(sawRoom);
}

TEST(DeflateParts, DecompressorTellsDamageFromWrongSizes) {
  std::mt19937 random(3);
  const Bytes data = Text(random, 10000);
  Compressor compressor(8);
  Bytes packed;
  CompressPart(compressor, data.data(), data.size(), true, packed);
  Decompressor decompressor;
  Bytes out(data.size() + 1);
  using Outcome = Decompressor::Outcome;
  EXPECT_EQ(decompressor.Decompress(packed.data(), packed.size(), out.data(), data.size()),
            Outcome::kDone);
  EXPECT_EQ(decompressor.Decompress(packed.data(), packed.size(), out.data(), data.size() - 1),
            Outcome::kSizeDiffers);
  EXPECT_EQ(decompressor.Decompress(packed.data(), packed.size(), out.data(), data.size() + 1),
            Outcome::kSizeDiffers);
  Bytes longer = packed;
  longer.push_back(0);
  EXPECT_EQ(decompressor.Decompress(longer.data(), longer.size(), out.data(), data.size()),
            Outcome::kPackedSizeDiffers);
  Bytes damaged = packed;
  damaged[0] |= 0x06;  // block type 3 does not exist
  EXPECT_EQ(decompressor.Decompress(damaged.data(), damaged.size(), out.data(), data.size()),
            Outcome::kDamaged);
  EXPECT_EQ(Crc32(0, data.data(), data.size()),
            static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
}

}  // namespace
}  // namespace sevenzip
