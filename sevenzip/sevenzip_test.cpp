#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "archlib/entry.h"
#include "sevenzip/add_command.h"

namespace fs = std::filesystem;

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

// Runs a shell command under a UTF-8 locale; returns its output, or a line
// starting with "exit" when it fails.
std::string Shell(const std::string& command) {
  std::string output;
  FILE* pipe = popen(("LC_ALL=C.UTF-8 " + command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return "exit: popen";
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  return status == 0 ? output : "exit " + std::to_string(status) + ": " + output;
}

bool Have(const std::string& tool) {
  return Shell("command -v " + tool).rfind("exit", 0) != 0;
}

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Archiver : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("sevenzip-test-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "save");
  }
  void TearDown() override {
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(root_);
  }
  void Write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  // Docs/a.txt, Docs/sub/b.txt, an empty folder and a link that must not be
  // followed (it points at the folder holding Docs).
  fs::path MakeDocs() {
    const fs::path docs = root_ / "Docs";
    Write(docs / "a.txt", "alpha\n");
    Write(docs / "sub" / "b.txt", std::string(100000, 'b'));
    fs::create_directories(docs / "empty");
    fs::create_directory_symlink("..", docs / "up");
    fs::permissions(docs / "a.txt",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const timespec times[2] = {{1577934245, 0}, {1577934245, 0}};  // 2020-01-02 03:04:05 UTC
    utimensat(AT_FDCWD, (docs / "a.txt").c_str(), times, AT_SYMLINK_NOFOLLOW);
    return docs;
  }
  // The save folder holds exactly these names (no temporary file left).
  std::vector<std::string> SaveFolder() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(root_ / "save")) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path root_;
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
  if (!Have("unzip")) GTEST_SKIP() << "unzip not installed";
  EXPECT_EQ(Shell("unzip -Z1 " + Quote(zip)),
            "Docs/\nDocs/a.txt\nDocs/empty/\nDocs/sub/\nDocs/sub/b.txt\nDocs/up\n");
  EXPECT_NE(Shell("unzip -tq " + Quote(zip)).find("No errors"), std::string::npos);
  if (Have("bsdtar")) {
    const std::string listing = Shell("TZ=UTC bsdtar -tvf " + Quote(zip));
    EXPECT_NE(listing.find("-rw-r-----"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Jan  2  2020 Docs/a.txt"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Docs/up -> .."), std::string::npos) << listing;
  }
  if (Have("7zz")) {
    EXPECT_NE(Shell("7zz t " + Quote(zip)).find("Everything is Ok"), std::string::npos);
  }
}

TEST_F(Archiver, SevenZGoesToTheExactPathForAnyOtherExtension) {
  const fs::path docs = MakeDocs();
  for (const std::string name : {"Docs.7z", "Docs_20240101", "Docs.lzh"}) {
    ASSERT_EQ(Archive("a " + Quote(root_ / "save" / name) + " " + Quote(docs)).result, 0) << name;
  }
  EXPECT_EQ(SaveFolder(), (std::vector<std::string>{"Docs.7z", "Docs.lzh", "Docs_20240101"}));
  if (!Have("7zz")) GTEST_SKIP() << "7zz not installed";
  const fs::path archive = root_ / "save" / "Docs_20240101";
  const std::string test = Shell("7zz t " + Quote(archive));
  EXPECT_NE(test.find("Type = 7z"), std::string::npos) << test;
  EXPECT_NE(test.find("Everything is Ok"), std::string::npos) << test;
  if (Have("bsdtar")) {
    const std::string listing = Shell("bsdtar -tvf " + Quote(archive));
    EXPECT_NE(listing.find("Docs/empty"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Docs/up -> .."), std::string::npos) << listing;
  }
}

TEST_F(Archiver, JapaneseNamesReadBackAsTheSameText) {
  const fs::path folder = root_ / "書類";
  Write(folder / "報告書 2024.txt", "中身");
  for (const std::string name : {"日本語.zip", "日本語.7z"}) {
    const fs::path archive = root_ / "save" / name;
    ASSERT_EQ(Archive("a " + Quote(archive) + " " + Quote(folder)).result, 0) << name;
    if (!Have("7zz")) GTEST_SKIP() << "7zz not installed";
    const fs::path out = root_ / ("out-" + name);
    ASSERT_EQ(Shell("7zz x -o" + Quote(out) + " " + Quote(archive)).rfind("exit", 0),
              std::string::npos);
    EXPECT_EQ(Read(out / "書類" / "報告書 2024.txt"), "中身") << name;
  }
  if (Have("unzip")) {
    EXPECT_EQ(Shell("unzip -Z1 " + Quote(root_ / "save" / "日本語.zip")),
              "書類/\n書類/報告書 2024.txt\n");
  }
}

TEST_F(Archiver, UpdateReplacesSameNamesAddsNewOnesAndKeepsTheRest) {
  for (const std::string name : {"u.zip", "u.7z"}) {
    const fs::path docs = root_ / "Docs";
    fs::remove_all(docs);
    Write(docs / "a.txt", "old a");
    Write(docs / "b.txt", "only in the first run");
    const fs::path archive = root_ / "save" / name;
    ASSERT_EQ(Archive("a " + Quote(archive) + " " + Quote(docs)).result, 0);
    fs::remove(docs / "b.txt");
    Write(docs / "a.txt", "new a");
    Write(docs / "c.txt", "added");
    ASSERT_EQ(Archive("a " + Quote(archive) + " " + Quote(docs)).result, 0);
    if (!Have("7zz")) GTEST_SKIP() << "7zz not installed";
    const fs::path out = root_ / ("out-" + name);
    ASSERT_EQ(Shell("7zz x -o" + Quote(out) + " " + Quote(archive)).rfind("exit", 0),
              std::string::npos);
    EXPECT_EQ(Read(out / "Docs" / "a.txt"), "new a") << name;
    EXPECT_EQ(Read(out / "Docs" / "b.txt"), "only in the first run") << name;
    EXPECT_EQ(Read(out / "Docs" / "c.txt"), "added") << name;
    EXPECT_EQ(Shell("7zz l -slt " + Quote(archive) + " | grep -c '^Path = Docs/a.txt$'"), "1\n");
  }
}

TEST_F(Archiver, FailuresLeaveTheOldArchiveByteIdenticalAndNoTemporaryFile) {
  const fs::path docs = MakeDocs();
  for (const std::string name : {"keep.zip", "keep.7z"}) {
    const fs::path archive = root_ / "save" / name;
    ASSERT_EQ(Archive("a " + Quote(archive) + " " + Quote(docs)).result, 0);
    const std::string before = Read(archive);
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
    EXPECT_EQ(Read(archive), before) << name;
  }
  // A damaged archive is not updated, nor replaced.
  const fs::path damaged = root_ / "save" / "damaged.zip";
  Write(damaged, "not an archive");
  EXPECT_NE(Archive("a " + Quote(damaged) + " " + Quote(docs)).result, 0);
  EXPECT_EQ(Read(damaged), "not an archive");
  EXPECT_EQ(SaveFolder(), (std::vector<std::string>{"damaged.zip", "keep.7z", "keep.zip"}));
}

TEST_F(Archiver, FullDiskFailsAndLeavesTheOldArchive) {
  const fs::path small = root_ / "small";
  fs::create_directories(small);
  if (Shell("mount -t tmpfs -o size=256k tmpfs " + Quote(small)).rfind("exit", 0) == 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here";
  }
  Write(root_ / "tiny" / "t.txt", "tiny");
  std::string noise(1 << 20, '\0');
  std::mt19937 random(7);
  for (char& c : noise) c = static_cast<char>(random());
  Write(root_ / "big" / "noise.bin", noise);
  for (const std::string name : {"full.zip", "full.7z"}) {
    const fs::path archive = small / name;
    ASSERT_EQ(Archive("a " + Quote(archive) + " " + Quote(root_ / "tiny")).result, 0);
    const std::string before = Read(archive);
    const Outcome o = Archive("a " + Quote(archive) + " " + Quote(root_ / "big"));
    EXPECT_NE(o.result, 0) << name;
    EXPECT_EQ(Read(archive), before) << name;
  }
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(small)) left.push_back(e.path().filename());
  std::sort(left.begin(), left.end());
  Shell("umount " + Quote(small));
  EXPECT_EQ(left, (std::vector<std::string>{"full.7z", "full.zip"}));
}

TEST_F(Archiver, AnArchiveSavedInsideItsTargetDoesNotContainItself) {
  Write(root_ / "save" / "note.txt", "note");
  const fs::path zip = root_ / "save" / "self.zip";
  ASSERT_EQ(Archive("a " + Quote(zip) + " " + Quote(root_ / "save")).result, 0);
  if (!Have("unzip")) GTEST_SKIP() << "unzip not installed";
  EXPECT_EQ(Shell("unzip -Z1 " + Quote(zip)), "save/\nsave/note.txt\n");
}

}  // namespace
