// The encoder's parts on their own, and whole members round-tripped
// through libarchive's decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "lha/bit_writer.h"
#include "lha/block.h"
#include "lha/crc16.h"
#include "lha/encoder.h"
#include "lha/huffman.h"
#include "lha/lzss.h"
#include "lha/memory_archive.h"

namespace lha {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

TEST(Crc16, MatchesTheLhaChecksumOfAKnownString) {
  auto data = Bytes("123456789");
  EXPECT_EQ(Crc16(0, data.data(), data.size()), 0xBB3D);
  // Piecewise equals whole, across the eight-byte fast path.
  std::vector<uint8_t> big(1000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + 3);
  EXPECT_EQ(Crc16(Crc16(0, big.data(), 13), big.data() + 13, big.size() - 13),
            Crc16(0, big.data(), big.size()));
}

TEST(BitWriter, PacksFieldsMostSignificantBitFirstAndPadsWithZeros) {
  std::vector<uint8_t> out;
  BitWriter w([&](const uint8_t* d, size_t n) { out.insert(out.end(), d, d + n); });
  w.Put(3, 0b101);
  w.Put(16, 0xFFFF);
  w.Put(2, 0b01);
  EXPECT_EQ(w.BitCount(), 21u);
  w.Finish();
  EXPECT_EQ(out, (std::vector<uint8_t>{0b10111111, 0b11111111, 0b11101000}));
}

uint64_t KraftSum(const std::vector<uint8_t>& lengths, int limit) {
  uint64_t sum = 0;
  for (uint8_t l : lengths) {
    if (l != 0) sum += uint64_t{1} << (limit - l);
  }
  return sum;
}

TEST(Huffman, LimitsSkewedFrequenciesTo16BitsWithACompleteCode) {
  // Fibonacci frequencies make an unlimited Huffman tree 40 levels deep.
  std::vector<uint32_t> freq(40);
  uint32_t a = 1, b = 1;
  for (auto& f : freq) {
    f = a;
    uint32_t c = a + b;
    a = b;
    b = c;
  }
  std::vector<uint8_t> lengths(freq.size());
  EXPECT_EQ(BuildCodeLengths(freq.data(), 40, 16, lengths.data()), 40);
  EXPECT_LE(*std::max_element(lengths.begin(), lengths.end()), 16);
  EXPECT_EQ(KraftSum(lengths, 16), uint64_t{1} << 16);
  // More frequent symbols never get longer codes.
  for (size_t i = 1; i < lengths.size(); ++i) EXPECT_LE(lengths[i], lengths[i - 1]);
}

TEST(Huffman, OneOrNoUsedSymbolsGetNoCodeAndCanonicalCodesArePrefixFree) {
  uint32_t one[5] = {0, 0, 9, 0, 0};
  uint8_t lengths[5];
  EXPECT_EQ(BuildCodeLengths(one, 5, 16, lengths), 1);
  EXPECT_EQ(std::count(lengths, lengths + 5, 0), 5);

  uint32_t freq[6] = {5, 1, 1, 2, 8, 0};
  uint8_t len[6];
  uint16_t codes[6];
  BuildCodeLengths(freq, 6, 16, len);
  BuildCanonicalCodes(len, 6, codes);
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 5; ++j) {
      if (i == j || len[i] > len[j]) continue;
      EXPECT_NE(codes[j] >> (len[j] - len[i]), codes[i]) << i << " prefixes " << j;
    }
  }
}

// The symbols Lzss makes of `data` under prices where a literal costs 6
// bits, a length code 4 and a position code 3, plus the offset's bits.
std::vector<Symbol> ParseWithFixedPrices(const std::vector<uint8_t>& data) {
  Prices prices;
  std::fill(std::begin(prices.chars), std::end(prices.chars), 4 * Prices::kOne);
  std::fill(prices.chars, prices.chars + 256, 6 * Prices::kOne);
  std::fill(std::begin(prices.positions), std::end(prices.positions), 3 * Prices::kOne);
  prices.perByte = 6 * Prices::kOne;
  Lzss lzss(kLh5);
  lzss.Reset();
  lzss.SetPrices(prices);
  lzss.Append(data.data(), data.size());
  std::vector<Symbol> out;
  lzss.Parse(true, out);
  return out;
}

TEST(Lzss, TakesAShortMatchOnlyWhereItCostsLessThanItsLiterals) {
  // "xyz" again after bytes that never repeat three in a row, then a last
  // byte: as a match it costs 7 bits plus the offset's, as literals 18.
  std::vector<uint8_t> near = Bytes("xyz");
  for (int i = 0; i < 100; ++i) near.push_back(static_cast<uint8_t>(128 + i));
  for (char c : std::string("xyz.")) near.push_back(static_cast<uint8_t>(c));
  std::vector<Symbol> symbols = ParseWithFixedPrices(near);
  ASSERT_GE(symbols.size(), 2u);
  const Symbol match = symbols[symbols.size() - 2];  // offset 102: 6 extra bits, 13 in all
  EXPECT_EQ(match.code, 256);
  EXPECT_EQ(match.offset, 102);
  // An offset of 4096 or more takes 12 extra bits, 19 in all: literals are cheaper.
  std::vector<uint8_t> data = Bytes("xyz");
  std::mt19937 rng(3);
  while (data.size() < 5000) data.push_back(static_cast<uint8_t>('A' + rng() % 26));
  for (char c : std::string("xyz.")) data.push_back(static_cast<uint8_t>(c));
  symbols = ParseWithFixedPrices(data);
  ASSERT_GE(symbols.size(), 4u);
  EXPECT_EQ(symbols[symbols.size() - 2].code, 'z');
  EXPECT_EQ(symbols[symbols.size() - 3].code, 'y');
}

// The symbols Lzss makes of each input in turn, fed as the encoder feeds it.
std::vector<Symbol> ParseInputs(Lzss& lzss, const std::vector<std::vector<uint8_t>>& inputs) {
  std::vector<Symbol> out;
  for (const std::vector<uint8_t>& data : inputs) {
    lzss.Reset();
    for (size_t at = 0; at < data.size();) {
      const size_t n = std::min(lzss.Room(), data.size() - at);
      lzss.Append(data.data() + at, n);
      at += n;
      if (lzss.Room() == 0) lzss.Parse(false, out);
    }
    lzss.Parse(true, out);
  }
  return out;
}

TEST(Lzss, PositionsMovedDownAsTheyGrowFindTheSameMatches) {
  // Positions are kept in 32 bits and moved down past a threshold; with a
  // low one the moves come every few hundred kilobytes, within a member
  // and between members, and must change nothing.
  std::mt19937 rng(19);
  std::vector<uint8_t> block(40000);
  for (auto& b : block) b = static_cast<uint8_t>('a' + rng() % 20);
  std::vector<std::vector<uint8_t>> inputs;
  for (size_t size : {3000000, 5000, 700000}) {
    std::vector<uint8_t> data;
    while (data.size() < size) {
      const size_t from = rng() % (block.size() - 100);
      data.insert(data.end(), block.begin() + from, block.begin() + from + 50 + rng() % 50);
      data.push_back(static_cast<uint8_t>(rng()));
    }
    inputs.push_back(data);
  }
  for (const Method* method : {&kLh5, &kLh7}) {
    Lzss usual(*method);
    Lzss moved(*method, 300000);
    EXPECT_TRUE(ParseInputs(moved, inputs) == ParseInputs(usual, inputs)) << method->id;
  }
}

TEST(Block, BitsFromCountsEqualTheBitsWritten) {
  // Block cuts are chosen by BlockBits; it must agree with the writer,
  // including tables with one symbol and runs of unused codes.
  std::mt19937 rng(5);
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<Symbol> symbols;
    const int literals = 1 + trial * 13;
    const int matches = trial % 4 == 0 ? 0 : trial * 5;
    for (int i = 0; i < 3000; ++i) {
      if (matches != 0 && rng() % 3 == 0) {
        symbols.push_back(Symbol{static_cast<uint16_t>(256 + rng() % matches),
                                 static_cast<uint16_t>(rng() % (1u << (rng() % 14)))});
      } else {
        symbols.push_back(Symbol{static_cast<uint16_t>(rng() % literals), 0});
      }
    }
    Histogram counts;
    counts.Add(symbols);
    uint64_t bytes = 0;
    BitWriter w([&](const uint8_t*, size_t n) { bytes += n; });
    WriteBlock(kLh5, PlanBlock(kLh5, symbols), symbols, w);
    EXPECT_EQ(BlockBits(kLh5, counts), w.BitCount()) << trial;
  }
}

// Everything a member compresses to, from a given encoder.
std::vector<uint8_t> Compress(Encoder& encoder, std::vector<uint8_t>& sink,
                              const std::vector<uint8_t>& data) {
  sink.clear();
  encoder.Begin();
  encoder.Write(data.data(), data.size());
  EXPECT_TRUE(encoder.Finish());
  return sink;
}

TEST(Encoder, AMembersBytesDependOnItsDataAloneNotOnTheMembersBefore) {
  // Members are compressed on whichever thread is free, by an encoder that
  // has seen other members or none: the archive must come out the same.
  std::mt19937 rng(13);
  auto text = [&](size_t n, int alphabet) {
    std::vector<uint8_t> s(n);
    for (auto& c : s) c = static_cast<uint8_t>('a' + rng() % alphabet);
    return s;
  };
  const std::vector<uint8_t> member = text(300000, 7);
  for (const Method* method : {&kLh5, &kLh7}) {
    std::vector<uint8_t> sink;
    Encoder fresh(*method, [&](const uint8_t* d, size_t n) { sink.insert(sink.end(), d, d + n); });
    const std::vector<uint8_t> alone = Compress(fresh, sink, member);
    Encoder used(*method, [&](const uint8_t* d, size_t n) { sink.insert(sink.end(), d, d + n); });
    Compress(used, sink, text(500000, 3));  // other statistics, several blocks
    Compress(used, sink, text(1000, 90));   // a short one, a single block
    EXPECT_TRUE(Compress(used, sink, member) == alone) << method->id;
  }
}

void ExpectRoundTrip(const std::vector<uint8_t>& data, const Method& method) {
  std::vector<uint8_t> archive = CompressToArchive(data, method);
  ASSERT_FALSE(archive.empty()) << "encoder declined " << data.size() << " bytes";
  std::vector<uint8_t> decoded;
  std::string error;
  ASSERT_TRUE(DecodeWithLibarchive(archive, decoded, error)) << error;
  EXPECT_TRUE(decoded == data) << method.id << " " << data.size() << " bytes";
}

class RoundTrip : public ::testing::TestWithParam<const Method*> {};

TEST_P(RoundTrip, TextRandomAndRepetitiveDataDecodeExactly) {
  std::mt19937 rng(7);
  std::vector<uint8_t> text;
  const char* words[] = {"backup ", "slot ", "archive ", "folder\n", "the ", "of "};
  while (text.size() < 300000) {
    for (char c : std::string(words[rng() % 6])) text.push_back(static_cast<uint8_t>(c));
  }
  ExpectRoundTrip(text, *GetParam());

  // A random block repeated: matches of the longest length at the
  // farthest distance the window allows.
  const size_t period = (size_t{1} << GetParam()->dictionaryBits) - 1;
  std::vector<uint8_t> repeated(period);
  for (auto& b : repeated) b = static_cast<uint8_t>(rng());
  while (repeated.size() < 5 * period + 123) repeated.push_back(repeated[repeated.size() - period]);
  ExpectRoundTrip(repeated, *GetParam());

  // One byte value only: every block after the first uses a single code.
  ExpectRoundTrip(std::vector<uint8_t>(3 << 20, 'z'), *GetParam());
}

TEST_P(RoundTrip, EveryEndingOfShortInputsSatisfiesTheReader) {
  // Many small inputs end in many different ways; each either decodes or is
  // declined (then stored), never written in a form a reader rejects.
  std::mt19937 rng(11);
  int compressed = 0;
  for (int n = 1; n < 400; ++n) {
    std::vector<uint8_t> data(n * 13 % 2000 + n);
    const int alphabet = 1 + n % 40;
    for (auto& b : data) b = static_cast<uint8_t>('a' + rng() % alphabet);
    std::vector<uint8_t> archive = CompressToArchive(data, *GetParam());
    if (archive.empty()) continue;
    ++compressed;
    std::vector<uint8_t> decoded;
    std::string error;
    ASSERT_TRUE(DecodeWithLibarchive(archive, decoded, error)) << n << ": " << error;
    ASSERT_TRUE(decoded == data) << n;
  }
  EXPECT_GT(compressed, 350);
}

INSTANTIATE_TEST_SUITE_P(Methods, RoundTrip, ::testing::Values(&kLh5, &kLh7),
                         [](const auto& info) { return std::string(info.param->id + 1, 3); });

}  // namespace
}  // namespace lha
