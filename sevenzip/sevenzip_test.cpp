#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>

#include "archlib/entry.h"
#include "platform/posix/regular_file.h"
#include "sevenzip/add_command.h"
#include "sevenzip/seven_z.h"
#include "sevenzip/seven_z_header.h"
#include "sevenzip/seven_z_writer.h"
#include "sevenzip/zip_reader.h"
#include "testing/processes.h"
#include "testing/support.h"

namespace fs = std::filesystem;
using test_support::Installed;
using test_support::Names;
using test_support::Noise;
using test_support::ReadBytes;
using test_support::Words;
using test_support::WriteBytes;

namespace {

struct Outcome {
  int result;
  std::string message;
};

Outcome Archive(const std::string& line) {
  char area[256];
  const int result = archlib::RunCommand(area, sizeof area, [&] { return sevenzip::RunAdd(line); });
  return {result, area};
}

std::string Quote(const fs::path& p) {
  return "\"" + p.string() + "\"";
}

// What a shell command prints, or a line starting with "exit" when it fails.
std::string Shell(const std::string& command) {
  std::string output;
  const int status = test_support::Shell(command, &output);
  return status == 0 ? output : "exit " + std::to_string(status) + ": " + output;
}

class Archiver : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(root_ / "save"); }
  // Docs/a.txt, Docs/sub/b.txt, an empty folder and a link that must not be
  // followed (it points at the folder holding Docs).
  fs::path MakeDocs() {
    const fs::path docs = root_ / "Docs";
    WriteBytes(docs / "a.txt", "alpha\n");
    WriteBytes(docs / "sub" / "b.txt", std::string(100000, 'b'));
    fs::create_directories(docs / "empty");
    fs::create_directory_symlink("..", docs / "up");
    fs::permissions(docs / "a.txt",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const timespec times[2] = {{1577934245, 0}, {1577934245, 0}};  // 2020-01-02 03:04:05 UTC
    utimensat(AT_FDCWD, (docs / "a.txt").c_str(), times, AT_SYMLINK_NOFOLLOW);
    return docs;
  }
  // The save folder holds exactly these names (no temporary file left).
  std::vector<std::string> SaveFolder() { return Names(root_ / "save"); }
  test_support::ScratchFolder root_;
};

TEST_F(Archiver, RefusesOtherCommandsMalformedLinesAndMissingTargets) {
  const fs::path zip = root_ / "save" / "x.zip";
  for (const std::string& line :
       {std::string("x ") + Quote(zip) + " " + Quote(root_), std::string(""), "a " + Quote(zip),
        "a \"" + zip.string() + " " + Quote(root_),
        "a " + Quote(zip) + " " + Quote(root_ / "no")}) {
    const Outcome o = Archive(line);
    EXPECT_NE(o.result, 0) << line;
    EXPECT_FALSE(o.message.empty()) << line;
  }
  EXPECT_NE(Archive("a " + Quote(zip) + " " + Quote(root_ / "no")).message.find("no"),
            std::string::npos);
  EXPECT_TRUE(SaveFolder().empty());
}

TEST_F(Archiver, ZipHoldsTheFolderUnderItsNameWithLinksTimesAndPermissions) {
  const fs::path docs = MakeDocs();
  const fs::path zip = root_ / "save" / "Docs 2024.zip";
  ASSERT_EQ(Archive("a " + Quote(zip) + " " + Quote(docs)).result, 0);
  EXPECT_EQ(SaveFolder(), std::vector<std::string>{"Docs 2024.zip"});
  if (!Installed("unzip")) GTEST_SKIP() << "unzip not installed";
  EXPECT_EQ(Shell("unzip -Z1 " + Quote(zip)),
            "Docs/\nDocs/a.txt\nDocs/empty/\nDocs/sub/\nDocs/sub/b.txt\nDocs/up\n");
  EXPECT_NE(Shell("unzip -tq " + Quote(zip)).find("No errors"), std::string::npos);
  if (Installed("bsdtar")) {
    const std::string listing = Shell("TZ=UTC bsdtar -tvf " + Quote(zip));
    EXPECT_NE(listing.find("-rw-r-----"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Jan  2  2020 Docs/a.txt"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Docs/up -> .."), std::string::npos) << listing;
  }
  if (Installed("7zz")) {
    EXPECT_NE(Shell("7zz t " + Quote(zip)).find("Everything is Ok"), std::string::npos);
  }
}

TEST_F(Archiver, SevenZGoesToTheExactPathForAnyOtherExtension) {
  const fs::path docs = MakeDocs();
  for (const std::string name : {"Docs.7z", "Docs_20240101", "Docs.lzh"}) {
    ASSERT_EQ(Archive("a " + Quote(root_ / "save" / name) + " " + Quote(docs)).result, 0) << name;
  }
  EXPECT_EQ(SaveFolder(), (std::vector<std::string>{"Docs.7z", "Docs.lzh", "Docs_20240101"}));
  if (!Installed("7zz")) GTEST_SKIP() << "7zz not installed";
  const fs::path archive = root_ / "save" / "Docs_20240101";
  const std::string test = Shell("7zz t " + Quote(archive));
  EXPECT_NE(test.find("Type = 7z"), std::string::npos) << test;
  EXPECT_NE(test.find("Everything is Ok"), std::string::npos) << test;
  if (Installed("bsdtar")) {
    const std::string listing = Shell("bsdtar -tvf " + Quote(archive));
    EXPECT_NE(listing.find("Docs/empty"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Docs/up -> .."), std::string::npos) << listing;
  }
}

TEST_F(Archiver, JapaneseNamesReadBackAsTheSameText) {
  const fs::path folder = root_ / "書類";
  WriteBytes(folder / "報告書 2024.txt", "中身");
  for (const std::string name : {"日本語.zip", "日本語.7z"}) {
    const fs::path archive = root_ / "save" / name;
    ASSERT_EQ(Archive("a " + Quote(archive) + " " + Quote(folder)).result, 0) << name;
    if (!Installed("7zz")) GTEST_SKIP() << "7zz not installed";
    const fs::path out = root_ / ("out-" + name);
    ASSERT_EQ(Shell("7zz x -o" + Quote(out) + " " + Quote(archive)).rfind("exit", 0),
              std::string::npos);
    EXPECT_EQ(ReadBytes(out / "書類" / "報告書 2024.txt"), "中身") << name;
  }
  if (Installed("unzip")) {
    EXPECT_EQ(Shell("unzip -Z1 " + Quote(root_ / "save" / "日本語.zip")),
              "書類/\n書類/報告書 2024.txt\n");
  }
}

TEST_F(Archiver, UpdateReplacesSameNamesAddsNewOnesAndKeepsTheRest) {
  for (const std::string name : {"u.zip", "u.7z"}) {
    const fs::path docs = root_ / "Docs";
    fs::remove_all(docs);
    WriteBytes(docs / "a.txt", "old a");
    WriteBytes(docs / "b.txt", "only in the first run");
    const fs::path archive = root_ / "save" / name;
    ASSERT_EQ(Archive("a " + Quote(archive) + " " + Quote(docs)).result, 0);
    fs::remove(docs / "b.txt");
    WriteBytes(docs / "a.txt", "new a");
    WriteBytes(docs / "c.txt", "added");
    ASSERT_EQ(Archive("a " + Quote(archive) + " " + Quote(docs)).result, 0);
    if (!Installed("7zz")) GTEST_SKIP() << "7zz not installed";
    const fs::path out = root_ / ("out-" + name);
    ASSERT_EQ(Shell("7zz x -o" + Quote(out) + " " + Quote(archive)).rfind("exit", 0),
              std::string::npos);
    EXPECT_EQ(ReadBytes(out / "Docs" / "a.txt"), "new a") << name;
    EXPECT_EQ(ReadBytes(out / "Docs" / "b.txt"), "only in the first run") << name;
    EXPECT_EQ(ReadBytes(out / "Docs" / "c.txt"), "added") << name;
    EXPECT_EQ(Shell("7zz l -slt " + Quote(archive) + " | grep -c '^Path = Docs/a.txt$'"), "1\n");
  }
}

TEST_F(Archiver, MoreThan65535EntriesGetAZip64EndRecordThatReadersAndUpdateAccept) {
  // 70,000 files in 70 folders: the 16-bit entry counts overflow, so the
  // archive must end with the ZIP64 end record and its locator.
  const fs::path many = root_ / "Many";
  for (int d = 0; d < 70; ++d) {
    const fs::path folder = many / ("d" + std::to_string(d));
    fs::create_directories(folder);
    for (int f = 0; f < 1000; ++f) {
      std::ofstream(folder / std::to_string(f), std::ios::binary) << d << '/' << f;
    }
  }
  const fs::path zip = root_ / "save" / "many.zip";
  ASSERT_EQ(Archive("a " + Quote(zip) + " " + Quote(many)).result, 0);
  const std::string bytes = ReadBytes(zip);
  ASSERT_GT(bytes.size(), 98u);
  // The locator (20 bytes) and the classic end record (22) close the file.
  EXPECT_EQ(bytes.substr(bytes.size() - 42, 4), std::string("PK\x06\x07", 4));
  EXPECT_EQ(bytes.substr(bytes.size() - 22, 4), std::string("PK\x05\x06", 4));
  const size_t entries = 1 + 70 + 70000;

  // An update reads the old archive through its ZIP64 records.
  WriteBytes(many / "d0" / "0", "changed");
  ASSERT_EQ(Archive("a " + Quote(zip) + " " + Quote(many)).result, 0);
  if (Installed("unzip")) {
    EXPECT_NE(Shell("unzip -tq " + Quote(zip)).find("No errors"), std::string::npos);
    EXPECT_EQ(Shell("unzip -p " + Quote(zip) + " Many/d0/0 Many/d69/999"), "changed69/999");
  }
  if (Installed("bsdtar")) {
    EXPECT_EQ(Shell("bsdtar -tf " + Quote(zip) + " | wc -l"), std::to_string(entries) + "\n");
  }
  if (Installed("7zz")) {
    EXPECT_NE(Shell("7zz t " + Quote(zip)).find("Everything is Ok"), std::string::npos);
  }
}

TEST_F(Archiver, FailuresLeaveTheOldArchiveByteIdenticalAndNoTemporaryFile) {
  const fs::path docs = MakeDocs();
  for (const std::string name : {"keep.zip", "keep.7z"}) {
    const fs::path archive = root_ / "save" / name;
    ASSERT_EQ(Archive("a " + Quote(archive) + " " + Quote(docs)).result, 0);
    const std::string before = ReadBytes(archive);
    // A missing target, and a second target that cannot be archived.
    EXPECT_NE(
        Archive("a " + Quote(archive) + " " + Quote(docs) + " " + Quote(root_ / "gone")).result, 0);
    ASSERT_EQ(mkfifo((root_ / "pipe").c_str(), 0600), 0);
    EXPECT_NE(Archive("a " + Quote(archive) + " " + Quote(root_ / "pipe")).result, 0);
    fs::remove(root_ / "pipe");
    if (geteuid() != 0) {  // root reads any file whatever its permissions
      fs::permissions(docs / "a.txt", fs::perms::none);
      EXPECT_NE(Archive("a " + Quote(archive) + " " + Quote(docs)).result, 0);
      fs::permissions(docs / "a.txt", fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_EQ(ReadBytes(archive), before) << name;
  }
  // A damaged archive is not updated, nor replaced.
  const fs::path damaged = root_ / "save" / "damaged.zip";
  WriteBytes(damaged, "not an archive");
  EXPECT_NE(Archive("a " + Quote(damaged) + " " + Quote(docs)).result, 0);
  EXPECT_EQ(ReadBytes(damaged), "not an archive");
  EXPECT_EQ(SaveFolder(), (std::vector<std::string>{"damaged.zip", "keep.7z", "keep.zip"}));
}

TEST_F(Archiver, FullDiskFailsAndLeavesTheOldArchive) {
  const fs::path small = root_ / "small";
  fs::create_directories(small);
  if (Shell("mount -t tmpfs -o size=256k tmpfs " + Quote(small)).rfind("exit", 0) == 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here";
  }
  WriteBytes(root_ / "tiny" / "t.txt", "tiny");
  std::mt19937 random(7);
  const std::string noise = Noise(random, 1 << 20);
  WriteBytes(root_ / "big" / "noise.bin", noise);
  for (const std::string name : {"full.zip", "full.7z"}) {
    const fs::path archive = small / name;
    ASSERT_EQ(Archive("a " + Quote(archive) + " " + Quote(root_ / "tiny")).result, 0);
    const std::string before = ReadBytes(archive);
    const Outcome o = Archive("a " + Quote(archive) + " " + Quote(root_ / "big"));
    EXPECT_NE(o.result, 0) << name;
    EXPECT_EQ(ReadBytes(archive), before) << name;
  }
  const std::vector<std::string> left = Names(small);
  Shell("umount " + Quote(small));
  EXPECT_EQ(left, (std::vector<std::string>{"full.7z", "full.zip"}));
}

TEST_F(Archiver, AnArchiveSavedInsideItsTargetDoesNotContainItself) {
  WriteBytes(root_ / "save" / "note.txt", "note");
  const fs::path zip = root_ / "save" / "self.zip";
  ASSERT_EQ(Archive("a " + Quote(zip) + " " + Quote(root_ / "save")).result, 0);
  if (!Installed("unzip")) GTEST_SKIP() << "unzip not installed";
  EXPECT_EQ(Shell("unzip -Z1 " + Quote(zip)), "save/\nsave/note.txt\n");
}

// Files over the whole-file limit (16 MiB) are compressed in 1 MiB parts
// joined into one stream; files of moderately spread bytes from 2 MiB at
// the slower level; incompressible ones stored. Every reader must restore
// each byte.
TEST_F(Archiver, LargeFilesInPartsAndSmallEdgeCasesReadBackByteIdenticalWithEveryReader) {
  const fs::path docs = root_ / "Big";
  std::mt19937 random(5);
  auto text = [&](size_t size) { return Words(random, size); };
  auto noise = [&](size_t size) { return Noise(random, size); };
  // Text with stretches of noise, so that parts end in blocks of each kind.
  std::string over;
  while (over.size() < (17u << 20) + 12345) over += text(700000) + noise(300000);
  over.resize((17u << 20) + 12345);
  WriteBytes(docs / "over the limit.bin", over);
  WriteBytes(docs / "exactly 18 parts.bin", over.substr(0, 18u << 20));
  // Bytes spread over about 6 bits: the slower level.
  std::string spread(3u << 20, '\0');
  for (char& c : spread) c = static_cast<char>(random() % 64 + (random() % 8 == 0 ? 64 : 0));
  WriteBytes(docs / "spread.bin", spread);
  WriteBytes(docs / "noise.bin", noise(50000));
  WriteBytes(docs / "empty.txt", "");
  WriteBytes(docs / "one.txt", "1");

  const fs::path zip = root_ / "save" / "big.zip";
  const Outcome o = Archive("a " + Quote(zip) + " " + Quote(docs));
  ASSERT_EQ(o.result, 0) << o.message;
  const int fd = open(zip.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::map<std::string, sevenzip::ZipRecord> records;
  for (auto& r : sevenzip::ReadCentralDirectory(fd, zip.string())) records[r.name] = r;
  close(fd);
  EXPECT_EQ(records.at("Big/over the limit.bin").method, sevenzip::kMethodDeflate);
  EXPECT_EQ(records.at("Big/over the limit.bin").size, over.size());
  EXPECT_LT(records.at("Big/spread.bin").compressedSize, spread.size() * 7 / 8);
  EXPECT_EQ(records.at("Big/noise.bin").method, sevenzip::kMethodStored);
  EXPECT_EQ(records.at("Big/empty.txt").compressedSize, 0u);

  struct Reader {
    std::string tool, extract;
  };
  const fs::path out = root_ / "out";
  for (const Reader& reader : {Reader{"unzip", "unzip -q " + Quote(zip) + " -d "},
                               Reader{"bsdtar", "bsdtar -xf " + Quote(zip) + " -C "},
                               Reader{"7zz", "7zz x -bd -bso0 " + Quote(zip) + " -o"}}) {
    if (!Installed(reader.tool)) continue;
    const fs::path folder = out / reader.tool;
    fs::create_directories(folder);
    ASSERT_EQ(Shell(reader.extract + Quote(folder)), "") << reader.tool;
    EXPECT_EQ(Shell("cmp " + Quote(docs / "over the limit.bin") + " " +
                    Quote(folder / "Big" / "over the limit.bin")),
              "")
        << reader.tool;
    EXPECT_EQ(Shell("diff -r " + Quote(docs) + " " + Quote(folder / "Big")), "") << reader.tool;
  }
}

TEST(SevenZHeader, NumbersCountTheirExtraBytesInTheFirstBytesLeadingOnes) {
  auto number = [](uint64_t v) {
    std::string out;
    sevenzip::PutNumber(out, v);
    return out;
  };
  EXPECT_EQ(number(0), std::string(1, '\0'));
  EXPECT_EQ(number(0x7F), "\x7F");
  EXPECT_EQ(number(0x80), "\x80\x80");
  EXPECT_EQ(number(0x3FFF), "\xBF\xFF");
  EXPECT_EQ(number(0x4000), std::string("\xC0\x00\x40", 3));
  EXPECT_EQ(number(0x123456789), "\xF1\x89\x67\x45\x23");
  EXPECT_EQ(number(0x123456789A), "\xF8\x9A\x78\x56\x34\x12");
  EXPECT_EQ(number(UINT64_MAX), std::string(9, '\xFF'));
  EXPECT_EQ(sevenzip::FileTime(0, 0), 116444736000000000u);
  EXPECT_EQ(sevenzip::FileTime(-11644473601, 0), 0u);
}

// The 7z writer called directly, with folders small enough for tests.
class SevenZWriter : public Archiver {
 protected:
  // Text that compresses, but not to nothing.
  std::string Text(size_t size, unsigned seed) {
    static const char* const words[] = {"backup ", "slot ", "archive ", "folder ", "日本語 ",
                                        "data\n",  "copy ", "2024 ",    "保存 ",   "x"};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) text += words[random() % 10];
    text.resize(size);
    return text;
  }
  // Tree/a10..a29 (21 KB each), Tree/m_big (600 KB, more than a folder's
  // share), Tree/z0..z9, an empty file and folder, a link, a Japanese name,
  // assorted permissions and a time with a fraction of a second.
  fs::path MakeTree() {
    const fs::path tree = root_ / "Tree";
    for (int i = 0; i < 20; ++i) WriteBytes(tree / ("a" + std::to_string(10 + i)), Text(21000, i));
    WriteBytes(tree / "m_big", Text(600000, 99));
    for (int i = 0; i < 10; ++i) WriteBytes(tree / ("z" + std::to_string(i)), Text(20000, 100 + i));
    WriteBytes(tree / "書類" / "報告書.txt", "中身");
    WriteBytes(tree / "empty.txt", "");
    fs::create_directories(tree / "nothing");
    fs::create_symlink("a10", tree / "link");
    fs::permissions(tree / "a10", fs::perms(0640));
    fs::permissions(tree / "a11", fs::perms(0755));
    fs::permissions(tree / "a12", fs::perms(0444));
    fs::permissions(tree / "nothing", fs::perms(0750));
    const timespec times[2] = {{1577934245, 500000000}, {1577934245, 500000000}};
    utimensat(AT_FDCWD, (tree / "a13").c_str(), times, AT_SYMLINK_NOFOLLOW);
    return tree;
  }
  std::vector<sevenzip::Expected> WriteArchive(const fs::path& archive,
                                               const std::vector<std::string>& targets,
                                               const std::string& origin = "") {
    const sevenzip::SevenZOptions options{3, 64 << 10, 6};
    const fs::path temp = archive.string() + ".new";
    const int fd = open(temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0);
    std::vector<sevenzip::Expected> expected;
    try {
      std::optional<platform::posix::RegularFile> old;
      sevenzip::SevenZOrigin from;
      if (!origin.empty()) {
        old.emplace(platform::posix::RegularFile::Open(origin));
        from = {old->Descriptor(), origin};
      }
      expected = sevenzip::WriteSevenZFolders(fd, temp, sevenzip::GatherSources(targets, 0, 0),
                                              old ? &from : nullptr, options);
    } catch (...) {
      close(fd);
      throw;
    }
    close(fd);
    fs::rename(temp, archive);
    return expected;
  }
  // Extracts with the tool and compares the tree with the original,
  // symbolic links as links and permissions included.
  void ExpectSameTree(const std::string& extract, const fs::path& out, const fs::path& tree) {
    fs::create_directories(out);
    ASSERT_EQ(Shell(extract).rfind("exit", 0), std::string::npos) << extract;
    const fs::path copy = out / tree.filename();
    EXPECT_EQ(Shell("diff -r --no-dereference " + Quote(tree) + " " + Quote(copy)), "") << extract;
    for (const auto& e : fs::recursive_directory_iterator(tree)) {
      const fs::path other = copy / e.path().lexically_relative(tree);
      EXPECT_EQ(fs::symlink_status(e.path()).permissions(), fs::symlink_status(other).permissions())
          << extract << ": " << other;
    }
    EXPECT_EQ(fs::read_symlink(copy / "link"), "a10") << extract;
    EXPECT_EQ(fs::last_write_time(copy / "a13"), fs::last_write_time(tree / "a13")) << extract;
    EXPECT_TRUE(fs::is_directory(copy / "nothing")) << extract;
  }
};

TEST_F(SevenZWriter, FoldersSplitTheDataAndEveryReaderRestoresTheTree) {
  const fs::path tree = MakeTree();
  const fs::path archive = root_ / "save" / "tree.7z";
  const auto expected = WriteArchive(archive, {tree.string()});
  EXPECT_EQ(expected.size(), 37u);
  sevenzip::VerifySevenZ(archive, expected);
  if (!Installed("7zz") || !Installed("bsdtar")) GTEST_SKIP() << "7zz or bsdtar not installed";
  const std::string test = Shell("7zz t " + Quote(archive));
  EXPECT_NE(test.find("Everything is Ok"), std::string::npos) << test;
  // a10..a29 fill the first share, m_big (larger than a share) the second
  // folder, z0..z9 the third.
  EXPECT_NE(Shell("7zz l -slt " + Quote(archive)).find("Blocks = 3"), std::string::npos);
  const std::string listing = Shell("TZ=UTC bsdtar -tvf " + Quote(archive));
  EXPECT_NE(listing.find("-rw-r----- "), std::string::npos) << listing;
  EXPECT_NE(listing.find("Jan  2  2020 Tree/a13"), std::string::npos) << listing;
  EXPECT_NE(listing.find("Tree/link -> a10"), std::string::npos) << listing;
  EXPECT_NE(listing.find("Tree/書類/報告書.txt"), std::string::npos) << listing;
  ExpectSameTree("cd " + Quote(root_ / "bsdtar") + " && bsdtar -xpf " + Quote(archive),
                 root_ / "bsdtar", tree);
  ExpectSameTree("7zz x -o" + Quote(root_ / "7zz") + " " + Quote(archive), root_ / "7zz", tree);
}

TEST_F(SevenZWriter, UpdateCarriesOverLinksEmptyEntriesAndPermissionsUnchanged) {
  const fs::path tree = MakeTree();
  const fs::path archive = root_ / "save" / "tree.7z";
  WriteArchive(archive, {tree.string()});
  // The second run stores only Tree/a10 anew: everything else is carried.
  const fs::path alone = root_ / "alone" / "Tree";
  WriteBytes(alone / "a10", "replaced");
  const auto expected = WriteArchive(archive, {alone.string()}, archive.string());
  EXPECT_EQ(expected.size(), 37u);
  sevenzip::VerifySevenZ(archive, expected);
  if (!Installed("7zz") || !Installed("bsdtar")) GTEST_SKIP() << "7zz or bsdtar not installed";
  EXPECT_NE(Shell("7zz t " + Quote(archive)).find("Everything is Ok"), std::string::npos);
  WriteBytes(tree / "a10", "replaced");
  fs::permissions(tree / "a10", fs::perms(0644));
  ExpectSameTree("cd " + Quote(root_ / "bsdtar") + " && bsdtar -xpf " + Quote(archive),
                 root_ / "bsdtar", tree);
}

TEST_F(SevenZWriter, NothingToStoreGivesAnEmptyArchiveThatReadersAccept) {
  fs::create_directories(root_ / "none");
  const fs::path archive = root_ / "save" / "none.7z";
  const auto expected = WriteArchive(archive, {(root_ / "none" / ".").string()});
  EXPECT_TRUE(expected.empty());
  sevenzip::VerifySevenZ(archive, expected);
  EXPECT_EQ(fs::file_size(archive), 32u);
  if (!Installed("7zz") || !Installed("bsdtar")) GTEST_SKIP() << "7zz or bsdtar not installed";
  EXPECT_NE(Shell("7zz t " + Quote(archive)).find("Everything is Ok"), std::string::npos);
  EXPECT_EQ(Shell("bsdtar -tf " + Quote(archive)), "");
}

TEST_F(SevenZWriter, AFileThatVanishesFailsTheWriteAndLeavesNoTemporaryFiles) {
  const fs::path tree = MakeTree();
  const auto sources = sevenzip::GatherSources({tree.string()}, 0, 0);
  fs::remove(tree / "z5");  // in the last folder, compressed on a thread of its own
  const fs::path archive = root_ / "save" / "gone.7z";
  const int fd = open(archive.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  try {
    sevenzip::WriteSevenZFolders(fd, archive, sources, nullptr, {3, 64 << 10, 6});
    ADD_FAILURE() << "no failure";
  } catch (const archlib::Failure& e) {
    EXPECT_NE(std::string(e.what()).find("z5"), std::string::npos) << e.what();
  }
  close(fd);
  EXPECT_EQ(SaveFolder(), std::vector<std::string>{"gone.7z"});
}

TEST_F(SevenZWriter, ANameThatIsNoTextOfTheLocaleIsStoredWithAReplacementCharacter) {
  WriteBytes(root_ / "Odd" / "bad\xFFname.txt", "kept");
  const fs::path archive = root_ / "save" / "odd.7z";
  const Outcome o = Archive("a " + Quote(archive) + " " + Quote(root_ / "Odd"));
  ASSERT_EQ(o.result, 0) << o.message;
  if (!Installed("7zz")) GTEST_SKIP() << "7zz not installed";
  EXPECT_NE(Shell("7zz l -slt " + Quote(archive)).find("Path = Odd/bad\uFFFDname.txt"),
            std::string::npos);
}

// libarchive gives no reason for a 7z archive cut short: an update of one,
// and a read-back, say that it ends early. The cut archive stays as it was.
TEST_F(Archiver, A7zCutShortIsNamedAsEndingEarly) {
  const fs::path docs = MakeDocs();
  const fs::path archive = root_ / "save" / "cut.7z";
  ASSERT_EQ(Archive("a " + Quote(archive) + " " + Quote(docs)).result, 0);
  const uint64_t half = fs::file_size(archive) / 2;
  fs::resize_file(archive, half);
  const std::string cut = ReadBytes(archive);
  const std::string said = "the archive ends early: its header should lie at bytes ";
  const std::string size = ", but the file has only " + std::to_string(half) + " bytes";
  const Outcome update = Archive("a " + Quote(archive) + " " + Quote(docs));
  EXPECT_NE(update.result, 0);
  EXPECT_NE(update.message.find(said), std::string::npos) << update.message;
  EXPECT_NE(update.message.find(size), std::string::npos) << update.message;
  EXPECT_EQ(ReadBytes(archive), cut);
  try {
    sevenzip::VerifySevenZ(archive, {});
    ADD_FAILURE() << "read back whole";
  } catch (const archlib::Failure& e) {
    EXPECT_NE(std::string(e.what()).find(said), std::string::npos) << e.what();
  }
}

}  // namespace
