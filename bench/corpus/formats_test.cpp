// Each kind of generated file is what its name says, as independent tools
// see it: file(1) names its format, xmllint parses its XML, unzip and bsdtar
// list the members of its archives, readelf reads its ELF header, zlib
// checks its PNG chunks, iconv its text; and the whole corpus's names can be
// written in the Japanese ANSI code page, as LHA archives keep them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/corpus/binary.h"
#include "bench/corpus/bytes.h"
#include "bench/corpus/layout.h"
#include "bench/corpus/media.h"
#include "bench/corpus/office.h"
#include "bench/corpus/records.h"
#include "bench/corpus/text.h"
#include "bench/corpus/tree.h"
#include "testing/processes.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

using test_support::Installed;

class Formats : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const std::string& bytes) {
    test_support::WriteBytes(folder_ / name, bytes);
    return folder_ / name;
  }

  // A command's standard output, and whether it exited with 0.
  static std::pair<bool, std::string> Output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {false, ""};
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    return {pclose(pipe) == 0, text};
  }

  test_support::ScratchFolder folder_;
};

}  // namespace

TEST_F(Formats, FileNamesEachFormat) {
  if (!Installed("file")) GTEST_SKIP() << "file is not installed (Debian package file)";
  corpus::Random random(5);
  const std::pair<std::string, std::string> kinds[] = {
      {"JPEG image data, Exif standard", corpus::Jpeg(random, 200000)},
      {"PNG image data, 48 x 48, 8-bit/color RGBA", corpus::Png(random, 48, 48, 2000)},
      {"PDF document, version 1.7", corpus::Pdf(random, 200000)},
      {"Microsoft Word 2007+", corpus::ZipOf(random, corpus::OfficeMembers(random, false, 50000))},
      {"gzip compressed data, was \"x.tar\"", corpus::Gzip(random, "x.tar", 50000)},
      {"Audio file with ID3 version 2.4.0", corpus::Mp3(random, "title", 50000)},
      {"ISO Media", corpus::Mp4(random, 100000)},
      {"Git pack, version 2", corpus::GitPack(random, 50000)},
      {"TrueType Font data", corpus::TrueTypeFont(random, "Sans", 50000)},
      {"ELF 64-bit LSB executable, x86-64", corpus::Elf(random, "tool", false, 200000)},
      {"ELF 64-bit LSB shared object, x86-64", corpus::Elf(random, "lib", true, 200000)},
      {"PE32+ executable (GUI) x86-64, for MS Windows",
       corpus::WindowsInstaller(random, "Setup", 200000)},
      {"SQLite 3.x database", corpus::Database(random, 100000)},
      {"Rich Text Format data", corpus::Rtf(random, true, 20000)},
      {"HTML document", corpus::HtmlPage(random, "Guide", 2, 20000)},
  };
  int n = 0;
  for (const auto& [expected, bytes] : kinds) {
    const fs::path path = Write("sample" + std::to_string(n++), bytes);
    const auto [ok, said] = Output("file -b '" + path.string() + "'");
    EXPECT_NE(said.find(expected), std::string::npos) << "file says: " << said;
  }
}

TEST_F(Formats, XmlDocumentsAreWellFormed) {
  if (!Installed("xmllint")) GTEST_SKIP() << "xmllint is not installed (libxml2-utils)";
  corpus::Random random(6);
  const std::string documents[] = {corpus::FlatOpenDocument(random, false, 60000),
                                   corpus::FlatOpenDocument(random, true, 60000),
                                   corpus::SpreadsheetXml(random, 60000)};
  int n = 0;
  for (const std::string& document : documents) {
    const fs::path path = Write("document" + std::to_string(n++) + ".xml", document);
    const auto [ok, said] = Output("xmllint --noout '" + path.string() + "' 2>&1");
    EXPECT_TRUE(ok && said.empty()) << path.filename() << ": " << said;
  }
}

TEST_F(Formats, ArchiveReadersListTheMembersOfZipFiles) {
  if (!Installed("unzip") || !Installed("bsdtar")) {
    GTEST_SKIP() << "unzip or bsdtar is not installed";
  }
  corpus::Random random(7);
  const auto members = corpus::OfficeMembers(random, true, 80000);
  const fs::path path = Write("book.xlsx", corpus::ZipOf(random, members));
  std::set<std::string> expected;
  for (const auto& member : members) expected.insert(member.first);
  for (const std::string& command :
       {"unzip -Z1 '" + path.string() + "'", "bsdtar -tf '" + path.string() + "'"}) {
    const auto [ok, listing] = Output(command);
    EXPECT_TRUE(ok) << command;
    std::set<std::string> listed;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) listed.insert(line);
    EXPECT_EQ(listed, expected) << command;
  }
}

TEST_F(Formats, ReadelfReadsTheProgramsHeaders) {
  if (!Installed("readelf")) GTEST_SKIP() << "readelf is not installed (binutils)";
  corpus::Random random(8);
  const auto [programOk, program] = Output(
      "readelf -h '" + Write("tool", corpus::Elf(random, "tool", false, 300000)).string() + "'");
  EXPECT_TRUE(programOk);
  EXPECT_NE(program.find("EXEC (Executable file)"), std::string::npos) << program;
  EXPECT_NE(program.find("Advanced Micro Devices X86-64"), std::string::npos) << program;
  const auto [libraryOk, library] = Output(
      "readelf -h '" + Write("lib.so", corpus::Elf(random, "lib", true, 300000)).string() + "'");
  EXPECT_TRUE(libraryOk);
  EXPECT_NE(library.find("DYN (Shared object file)"), std::string::npos) << library;
}

TEST(Crc32, AgreesWithZlib) {
  corpus::Random random(9);
  for (size_t size : {0, 1, 13, 4096, 100000}) {
    std::string bytes;
    random.Fill(bytes, size);
    EXPECT_EQ(corpus::Crc32(bytes),
              crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())))
        << size << " bytes";
  }
}

TEST(Png, EveryChunkCarriesTheCrcZlibComputes) {
  corpus::Random random(10);
  const std::string png = corpus::Png(random, 32, 32, 1500);
  ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  std::vector<std::string> types;
  for (size_t at = 8; at + 12 <= png.size();) {
    auto be32 = [&](size_t i) {
      return uint32_t(uint8_t(png[i])) << 24 | uint32_t(uint8_t(png[i + 1])) << 16 |
             uint32_t(uint8_t(png[i + 2])) << 8 | uint8_t(png[i + 3]);
    };
    const uint32_t length = be32(at);
    ASSERT_LE(at + 12 + length, png.size());
    const std::string chunk = png.substr(at + 4, 4 + length);
    EXPECT_EQ(be32(at + 8 + length),
              crc32(0, reinterpret_cast<const Bytef*>(chunk.data()), uInt(chunk.size())))
        << chunk.substr(0, 4);
    types.push_back(chunk.substr(0, 4));
    at += 12 + length;
  }
  ASSERT_GE(types.size(), 3u);
  EXPECT_EQ(types.front(), "IHDR");
  EXPECT_EQ(types.back(), "IEND");
}

TEST(Rtf, StaysSevenBitWithEveryOtherCharacterAsAUnicodeEscape) {
  corpus::Random random(12);
  const std::string rtf = corpus::Rtf(random, true, 30000);
  size_t escapes = 0;
  for (size_t i = 0; i < rtf.size(); ++i) {
    ASSERT_LT(uint8_t(rtf[i]), 0x80) << "a raw byte at " << i;
    if (rtf.compare(i, 2, "\\u") == 0 && i + 2 < rtf.size() &&
        (std::isdigit(uint8_t(rtf[i + 2])) || rtf[i + 2] == '-')) {
      const int code = std::stoi(rtf.substr(i + 2, 7));
      EXPECT_GE(code, -32768);
      EXPECT_LE(code, 32767);
      // Japanese text: kana and kanji, U+3000 and above.
      EXPECT_TRUE(code >= 0x3000 || code < 0) << code;
      ++escapes;
    }
  }
  EXPECT_GT(escapes, 1000u);
}

TEST(Records, CsvRowsHaveTheirHeadersFieldCount) {
  corpus::Random random(13);
  for (const std::string& csv :
       {corpus::SalesCsv(random, 60000), corpus::SensorCsv(random, 60000)}) {
    std::istringstream lines(csv);
    std::string header;
    std::getline(lines, header);
    const auto commas = std::count(header.begin(), header.end(), ',');
    int rows = 0;
    for (std::string line; std::getline(lines, line); ++rows) {
      ASSERT_EQ(std::count(line.begin(), line.end(), ','), commas) << line;
    }
    EXPECT_GT(rows, 500);
  }
}

TEST(Text, WrappedLinesKeepTheirWidthAndEveryWord) {
  corpus::Random random(14);
  corpus::Prose prose(random, false);
  const std::string text = prose.Paragraph() + " " + prose.Paragraph() + " " + prose.Paragraph();
  const std::string wrapped = corpus::Wrap(text, 40);
  std::istringstream lines(wrapped);
  std::string joined;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LE(line.size(), 40u) << line;
    joined += (joined.empty() ? "" : " ") + line;
  }
  EXPECT_EQ(joined, text);
}

TEST_F(Formats, EveryNameAndJapaneseTextConvertsToTheJapaneseCodePage) {
  // LHA archives keep names in the system's code page: CP932 for the
  // Japanese users of the program.
  const fs::path root = folder_ / "corpus";
  corpus::Tree tree(root);
  corpus::Lay(tree, 20);
  tree.Finish();
  std::string names;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    names += entry.path().lexically_relative(root).string() + "\n";
  }
  const fs::path list = Write("names.txt", names);
  EXPECT_TRUE(Output("iconv -f UTF-8 -t CP932 '" + list.string() + "' >/dev/null").first);
  corpus::Random random(15);
  const fs::path text = Write("text.txt", corpus::TextDocument(random, true, 100000));
  EXPECT_TRUE(Output("iconv -f UTF-8 -t CP932 '" + text.string() + "' >/dev/null").first)
      << "the Japanese prose is not valid UTF-8 in the Japanese repertoire";
}
