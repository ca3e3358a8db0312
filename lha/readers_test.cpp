// Archives written through the entry point, checked by every reader the
// archives must satisfy: lhasa, 7-Zip, bsdtar (extracting, which decodes)
// and unar's lsar; contents compared with the originals.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/archiver_entry.h"

ARCHIVER_EXPORT int ARCHIVER_CALL Unlha(uint32_t, const char*, char*, uint32_t);

namespace fs = std::filesystem;

namespace {

bool Installed(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command in the UTF-8 locale; returns its exit status and output.
int Shell(const std::string& command, std::string* output = nullptr) {
  std::string text;
  FILE* p = popen(("LC_ALL=C.UTF-8 " + command + " 2>&1").c_str(), "r");
  if (p == nullptr) return -1;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) text.append(buffer, n);
  int status = pclose(p);
  if (output != nullptr) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const fs::path& p) {
  return "'" + p.string() + "'";
}

void WriteFile(const fs::path& p, const std::string& data) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << data;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int Add(const std::string& line, std::string* message = nullptr) {
  char output[256];
  int r = Unlha(0, line.c_str(), output, sizeof output);
  if (message != nullptr) *message = output;
  return r;
}

class Readers : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("lha-readers-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "out");
  }
  void TearDown() override { fs::remove_all(root_); }

  // Every reader accepts the archive; bsdtar's extraction equals `tree`.
  void ExpectEveryReaderAccepts(const fs::path& archive, const fs::path& tree) {
    std::string out;
    if (Installed("lhasa")) {
      EXPECT_EQ(Shell("lhasa t " + Quote(archive), &out), 0) << out.substr(0, 2000);
      EXPECT_EQ(out.find("rror"), std::string::npos) << out.substr(0, 2000);
    }
    if (Installed("7zz")) {
      EXPECT_EQ(Shell("7zz t " + Quote(archive), &out), 0) << out.substr(0, 2000);
      EXPECT_NE(out.find("Everything is Ok"), std::string::npos) << out.substr(0, 2000);
    }
    if (Installed("lsar")) {
      EXPECT_EQ(Shell("lsar -t " + Quote(archive), &out), 0) << out.substr(0, 2000);
      EXPECT_EQ(out.find("failed!"), std::string::npos) << out.substr(0, 2000);
    }
    if (Installed("bsdtar")) {
      const fs::path x = root_ / "x";
      fs::remove_all(x);
      fs::create_directories(x);
      EXPECT_EQ(Shell("bsdtar -xf " + Quote(archive) + " -C " + Quote(x), &out), 0) << out;
      EXPECT_EQ(
          Shell("diff -r --no-dereference " + Quote(tree) + " " + Quote(x / tree.filename()), &out),
          0)
          << out.substr(0, 2000);
    }
  }

  fs::path root_;
};

TEST_F(Readers, AwkwardTreePassesEveryReaderWithLh5AndLh7) {
  if (!Installed("lhasa") || !Installed("7zz") || !Installed("lsar") || !Installed("bsdtar")) {
    GTEST_SKIP() << "install lhasa, 7zip, unar and libarchive-tools to run the reader checks";
  }
  const fs::path t = root_ / "My Docs";
  std::mt19937 rng(3);
  WriteFile(t / "empty", "");
  fs::create_directories(t / "empty folder");
  WriteFile(t / "one byte", "x");
  auto random = [&](size_t n) {
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
  };
  auto text = [&](size_t n) {
    static const char* words[] = {"backup ",   "slot ", "の ",  "archive ",
                                  "フォルダ ", "\n",    "0042 "};
    std::string s;
    while (s.size() < n) s += words[rng() % 7];
    s.resize(n);
    return s;
  };
  WriteFile(t / "exactly 8K.txt", text(8192));
  WriteFile(t / "exactly 64K.txt", text(65536));
  WriteFile(t / "random 10M.bin", random(10 << 20));
  WriteFile(t / "text 50M.txt", text(50 << 20));
  std::string block = random(65535);
  std::string repetitive;
  while (repetitive.size() < (4 << 20)) repetitive += block;
  WriteFile(t / "repetitive.bin", repetitive);
  WriteFile(t / "日本語" / "表.txt", text(3000));
  WriteFile(t / "日本語" / "ソフト" / "能力表 メモ.txt", text(5000));
  fs::path deep = t / "deep";
  for (int level = 0; level < 22; ++level) deep /= "level " + std::to_string(level);
  WriteFile(deep / "bottom.txt", text(777));
  for (int i = 0; i < 3000; ++i) {
    WriteFile(t / "tiny" / ("f" + std::to_string(i)), text(rng() % 300));
  }
  fs::create_symlink("../one byte", t / "日本語" / "link");

  for (const char* method : {"", "-o7 "}) {
    const fs::path archive = root_ / "out" / (*method ? "tree-lh7.lzh" : "tree-lh5.lzh");
    std::string message;
    ASSERT_EQ(Add(std::string("a  -r2 -x1 ") + method + "\"" + archive.string() + "\" \"" +
                      t.string() + "\"",
                  &message),
              0)
        << message;
    ExpectEveryReaderAccepts(archive, t);
  }
}

TEST_F(Readers, ManySmallInputsEndCleanlyForEveryReader) {
  if (!Installed("lhasa") || !Installed("7zz") || !Installed("lsar") || !Installed("bsdtar")) {
    GTEST_SKIP() << "install lhasa, 7zip, unar and libarchive-tools to run the reader checks";
  }
  // Members of every size up to a few blocks, in many alphabets: their
  // compressed streams end in every possible way.
  const fs::path t = root_ / "endings";
  std::mt19937 rng(5);
  for (int i = 0; i < 1000; ++i) {
    size_t n = 20 + rng() % (i < 700 ? 3000 : 200000);
    std::string s(n, '\0');
    const int alphabet = 2 + static_cast<int>(rng() % 60);
    for (auto& c : s) c = static_cast<char>('0' + rng() % alphabet);
    WriteFile(t / ("m" + std::to_string(i)), s);
  }
  for (const char* method : {"", "-o7 "}) {
    const fs::path archive = root_ / "out" / (*method ? "endings-lh7.lzh" : "endings-lh5.lzh");
    std::string message;
    ASSERT_EQ(
        Add(std::string("a -r2 -x1 ") + method + archive.string() + " " + t.string(), &message), 0)
        << message;
    ExpectEveryReaderAccepts(archive, t);
  }
}

TEST_F(Readers, AddingAgainReplacesSamePathsAndCarriesTheRestByteForByte) {
  const fs::path a = root_ / "a";
  const fs::path b = root_ / "b";
  WriteFile(a / "keep.txt", std::string(5000, 'k'));
  WriteFile(a / "change.txt", "old");
  WriteFile(b / "other.txt", "other");
  const fs::path archive = root_ / "out" / "x.lzh";
  const std::string line = "a -r2 -x1 \"" + archive.string() + "\" ";
  ASSERT_EQ(Add(line + a.string()), 0);
  ASSERT_EQ(Add(line + b.string()), 0);
  const std::string before = ReadFile(archive);
  WriteFile(a / "change.txt", "new contents");
  std::string message;
  ASSERT_EQ(Add(line + a.string(), &message), 0);
  EXPECT_EQ(message, "added 3 and kept 2 members: " + archive.string());
  const std::string after = ReadFile(archive);
  // The members of b went over unchanged (they follow the new ones).
  const size_t bAt = before.find("other.txt");
  ASSERT_NE(bAt, std::string::npos);
  EXPECT_NE(after.find(before.substr(bAt - 40, 60)), std::string::npos);

  const fs::path x = root_ / "x";
  fs::create_directories(x);
  if (!Installed("bsdtar")) GTEST_SKIP() << "bsdtar (libarchive-tools) not installed";
  ASSERT_EQ(Shell("bsdtar -xf " + Quote(archive) + " -C " + Quote(x)), 0);
  EXPECT_EQ(ReadFile(x / "a" / "change.txt"), "new contents");
  EXPECT_EQ(ReadFile(x / "a" / "keep.txt"), std::string(5000, 'k'));
  EXPECT_EQ(ReadFile(x / "b" / "other.txt"), "other");
}

TEST_F(Readers, AFailedCallLeavesTheArchiveAsItWasAndNoTemporaryFile) {
  const fs::path t = root_ / "t";
  WriteFile(t / "f.txt", "contents");
  const fs::path archive = root_ / "out" / "x.lzh";
  ASSERT_EQ(Add("a -r2 -x1 " + archive.string() + " " + t.string()), 0);
  const std::string before = ReadFile(archive);
  std::string message;

  // A missing target, and a FIFO target whose contents cannot be archived.
  EXPECT_NE(Add("a -r2 -x1 " + archive.string() + " " + (root_ / "absent").string(), &message), 0);
  EXPECT_NE(message.find("absent"), std::string::npos);
  ASSERT_EQ(mkfifo((t / "pipe").c_str(), 0600), 0);
  EXPECT_NE(Add("a -r2 -x1 " + archive.string() + " " + (t / "pipe").string(), &message), 0);
  EXPECT_EQ(ReadFile(archive), before);

  // Something that is not an LHA archive is never replaced.
  const fs::path junk = root_ / "out" / "junk.lzh";
  WriteFile(junk, "this is not an archive, it is a letter to keep");
  fs::remove(t / "pipe");
  EXPECT_NE(Add("a -r2 -x1 " + junk.string() + " " + t.string(), &message), 0);
  EXPECT_EQ(ReadFile(junk), "this is not an archive, it is a letter to keep");

  EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "out"), fs::directory_iterator()), 2);
}

TEST_F(Readers, AnArchiveSavedInsideItsTargetIsNotPackedIntoItself) {
  const fs::path t = root_ / "t";
  WriteFile(t / "f.txt", std::string(100000, 'q'));
  const fs::path archive = t / "self.lzh";
  ASSERT_EQ(Add("a -r2 -x1 " + archive.string() + " " + t.string()), 0);
  ASSERT_EQ(Add("a -r2 -x1 " + archive.string() + " " + t.string()), 0);
  EXPECT_LT(fs::file_size(archive), 2000u);
}

}  // namespace
