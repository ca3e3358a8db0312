// Archives written through the entry point, checked by every reader the
// archives must satisfy: lhasa, 7-Zip, bsdtar (extracting, which decodes),
// unar's lsar and jlha; contents, names, times and modes compared with the
// originals as far as each reader restores them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "platform/archiver_entry.h"
#include "testing/processes.h"
#include "testing/support.h"

ARCHIVER_EXPORT int ARCHIVER_CALL Unlha(uint32_t, const char*, char*, uint32_t);

namespace fs = std::filesystem;
using test_support::ReadBytes;
using test_support::WriteBytes;

namespace {

using test_support::Installed;
using test_support::Shell;

std::string Quote(const fs::path& p) {
  return "'" + p.string() + "'";
}

// A path as the archiver's command line quotes it.
std::string Arg(const fs::path& p) {
  return "\"" + p.string() + "\"";
}

// jlha runs on Java; the names in these archives are UTF-8.
const char* const kJlha = "java -Dlha.encoding=UTF-8 -jar /usr/share/java/jlhafrontend.jar";

bool JlhaInstalled() {
  return Installed("java") && fs::exists("/usr/share/java/jlhafrontend.jar");
}

// What a reader restores of an entry besides its name and contents.
struct Restores {
  bool links = false;        // links as links (otherwise left out of the comparison)
  bool modes = false;        // permission bits
  bool fileTimes = false;    // modification times of files
  bool folderTimes = false;  // and of folders
  bool owners = false;       // owner ids, when restored by root
};

// Each entry below `tree` by relative path: kind, contents or link target,
// and what `restores` says the reader keeps.
std::map<std::string, std::string> Describe(const fs::path& tree, const Restores& restores) {
  std::map<std::string, std::string> entries;
  for (const auto& e : fs::recursive_directory_iterator(tree)) {
    struct stat st;
    if (lstat(e.path().c_str(), &st) != 0) continue;
    std::string d;
    if (S_ISLNK(st.st_mode)) {
      if (!restores.links) continue;
      d = "link to " + fs::read_symlink(e.path()).string();
    } else if (S_ISDIR(st.st_mode)) {
      d = "folder";
      if (restores.folderTimes) d += " time " + std::to_string(st.st_mtime);
    } else {
      d = "file " + ReadBytes(e.path());
      if (restores.fileTimes) d += " time " + std::to_string(st.st_mtime);
    }
    if (restores.modes && !S_ISLNK(st.st_mode)) d += " mode " + std::to_string(st.st_mode & 07777);
    if (restores.owners && getuid() == 0 && !S_ISLNK(st.st_mode)) {
      d += " owner " + std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid);
    }
    entries[e.path().lexically_relative(tree).string()] = d;
  }
  return entries;
}

int Add(const std::string& line, std::string* message = nullptr) {
  char output[256];
  int r = Unlha(0, line.c_str(), output, sizeof output);
  if (message != nullptr) *message = output;
  return r;
}

class Readers : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(root_ / "out"); }

  // Every reader accepts the archive; bsdtar's extraction equals `tree`,
  // when one is given.
  void ExpectEveryReaderAccepts(const fs::path& archive, const fs::path& tree = {}) {
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
    if (JlhaInstalled()) {
      EXPECT_EQ(Shell(std::string(kJlha) + " t " + Quote(archive), &out), 0) << out.substr(0, 2000);
      EXPECT_EQ(out.find("rror"), std::string::npos) << out.substr(0, 2000);
    }
    if (Installed("bsdtar") && !tree.empty()) {
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

  test_support::ScratchFolder root_;
};

TEST_F(Readers, AwkwardTreePassesEveryReaderWithLh5AndLh7) {
  if (!Installed("lhasa") || !Installed("7zz") || !Installed("lsar") || !Installed("bsdtar")) {
    GTEST_SKIP() << "install lhasa, 7zip, unar and libarchive-tools to run the reader checks";
  }
  const fs::path t = root_ / "My Docs";
  std::mt19937 rng(3);
  WriteBytes(t / "empty", "");
  fs::create_directories(t / "empty folder");
  WriteBytes(t / "one byte", "x");
  auto random = [&](size_t n) { return test_support::Noise(rng, n); };
  auto text = [&](size_t n) {
    static const char* words[] = {"backup ",   "slot ", "の ",  "archive ",
                                  "フォルダ ", "\n",    "0042 "};
    std::string s;
    while (s.size() < n) s += words[rng() % 7];
    s.resize(n);
    return s;
  };
  WriteBytes(t / "exactly 8K.txt", text(8192));
  WriteBytes(t / "exactly 64K.txt", text(65536));
  WriteBytes(t / "random 10M.bin", random(10 << 20));
  WriteBytes(t / "text 50M.txt", text(50 << 20));
  std::string block = random(65535);
  std::string repetitive;
  while (repetitive.size() < (4 << 20)) repetitive += block;
  WriteBytes(t / "repetitive.bin", repetitive);
  WriteBytes(t / "日本語" / "表.txt", text(3000));
  WriteBytes(t / "日本語" / "ソフト" / "能力表 メモ.txt", text(5000));
  fs::path deep = t / "deep";
  for (int level = 0; level < 22; ++level) deep /= "level " + std::to_string(level);
  WriteBytes(deep / "bottom.txt", text(777));
  for (int i = 0; i < 3000; ++i) {
    WriteBytes(t / "tiny" / ("f" + std::to_string(i)), text(rng() % 300));
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

TEST_F(Readers, EveryReaderRestoresNamesFoldersTimesAndModesAsTheyWere) {
  if (!Installed("lhasa") || !Installed("7zz") || !Installed("unar") || !Installed("bsdtar") ||
      !JlhaInstalled()) {
    GTEST_SKIP() << "install lhasa, 7zip, unar, libarchive-tools and jlha-utils";
  }
  const fs::path t = root_ / "Docs";
  WriteBytes(t / "a.txt", "hello\n");
  WriteBytes(t / "日本語" / "表.txt", std::string(20000, 'x') + "表");
  WriteBytes(t / "sub" / "run.sh", "#!/bin/sh\n");
  WriteBytes(t / "sub" / "secret", "s");
  WriteBytes(t / "sub" / "deeper" / "f", "deep");
  WriteBytes(t / "read only.txt", "ro");
  fs::create_directories(t / "empty");
  fs::create_symlink("../a.txt", t / "sub" / "link");
  chmod((t / "sub" / "run.sh").c_str(), 0755);
  chmod((t / "sub" / "secret").c_str(), 0600);
  chmod((t / "read only.txt").c_str(), 0444);
  chmod((t / "sub").c_str(), 0750);
  if (getuid() == 0) {
    // Someone else's files: their ids are stored and root restores them.
    for (const char* p : {"sub", "sub/run.sh", "sub/secret", "sub/deeper", "sub/deeper/f"}) {
      ASSERT_EQ(lchown((t / p).c_str(), 1000, 1001), 0);
    }
  }
  // Times long past, children before their folders.
  ASSERT_EQ(Shell("cd " + Quote(t) +
                  " && touch -h -d '2001-02-03 04:05:06' a.txt 日本語/表.txt sub/run.sh sub/secret "
                  "sub/deeper/f sub/link 'read only.txt' && touch -d '2011-05-06 07:08:09' "
                  "日本語 sub/deeper empty sub ."),
            0);

  struct Reader {
    const char* name;
    std::string extract;  // run inside the folder it extracts to; ARCHIVE is replaced
    Restores restores;
  };
  const Reader readers[] = {
      {"bsdtar", "bsdtar -xf ARCHIVE", {true, true, true, true, true}},
      // lhasa sets a folder's time before it fills the folder.
      {"lhasa", "lhasa xq ARCHIVE", {true, true, true, false, true}},
      // 7-Zip and unar show links as folders named "name|target".
      {"7zz", "7zz x -y ARCHIVE >/dev/null", {false, false, true, true, false}},
      {"unar", "unar -q -D -e UTF-8 ARCHIVE >/dev/null", {false, false, true, true, false}},
      {"jlha", std::string(kJlha) + " xq ARCHIVE", {}},
  };
  for (const char* method : {"", "-o7 "}) {
    const fs::path archive = root_ / "out" / (*method ? "docs-lh7.lzh" : "docs-lh5.lzh");
    std::string message;
    ASSERT_EQ(Add(std::string("a -r2 -x1 ") + method + Arg(archive) + " " + Arg(t), &message), 0)
        << message;
    for (const Reader& reader : readers) {
      const fs::path x = root_ / "x" / reader.name;
      fs::create_directories(x);
      std::string command = reader.extract;
      command.replace(command.find("ARCHIVE"), 7, Quote(archive));
      std::string out;
      EXPECT_EQ(Shell("cd " + Quote(x) + " && " + command, &out), 0) << reader.name << out;
      std::map<std::string, std::string> restored = Describe(x / "Docs", reader.restores);
      // A link a reader shows as a folder is left out with the links.
      std::erase_if(restored, [](const auto& e) { return e.first.find('|') != std::string::npos; });
      EXPECT_EQ(restored, Describe(t, reader.restores)) << reader.name << " " << method;
      fs::remove_all(x);
    }
  }
}

TEST_F(Readers, ANameThatIsNotTextInTheSystemCodePageIsStoredAsItsBytes) {
  if (!Installed("lhasa") || !Installed("7zz") || !Installed("bsdtar")) {
    GTEST_SKIP() << "install lhasa, 7zip and libarchive-tools";
  }
  // Latin-1 names on a UTF-8 system, as a copy from an older one leaves
  // them: the slot is backed up and the names come back as they were.
  const fs::path t = root_ / "t";
  WriteBytes(t / "caf\xE9.txt", "coffee");
  WriteBytes(t / "r\xE9sum\xE9s" / "cv.txt", "cv");
  WriteBytes(t / "plain.txt", "plain");
  const fs::path archive = root_ / "out" / "names.lzh";
  std::string message;
  ASSERT_EQ(Add("a -r2 -x1 " + Arg(archive) + " " + Arg(t), &message), 0) << message;

  // lhasa and 7-Zip take names as bytes and restore them exactly.
  for (const char* extract : {"lhasa xq", "7zz x -y"}) {
    const fs::path x = root_ / "x";
    fs::create_directories(x);
    std::string out;
    EXPECT_EQ(Shell("cd " + Quote(x) + " && " + extract + " " + Quote(archive), &out), 0) << out;
    EXPECT_EQ(ReadBytes(x / "t" / "caf\xE9.txt"), "coffee") << extract;
    EXPECT_EQ(ReadBytes(x / "t" / "r\xE9sum\xE9s" / "cv.txt"), "cv") << extract;
    fs::remove_all(x);
  }
  // bsdtar honours the code page the names are declared in, 437, where
  // 0xE9 is Θ: it restores every file, under that reading of the name.
  const fs::path x = root_ / "x";
  fs::create_directories(x);
  std::string out;
  EXPECT_EQ(Shell("bsdtar -xf " + Quote(archive) + " -C " + Quote(x), &out), 0) << out;
  EXPECT_EQ(ReadBytes(x / "t" / "cafΘ.txt"), "coffee");
  EXPECT_EQ(ReadBytes(x / "t" / "rΘsumΘs" / "cv.txt"), "cv");
  EXPECT_EQ(ReadBytes(x / "t" / "plain.txt"), "plain");
  fs::remove_all(x);
  ExpectEveryReaderAccepts(archive);

  // A folder name holding 0xFF, the byte between folder names in LHA,
  // cannot be stored: the call fails saying so, and nothing is replaced.
  const std::string before = ReadBytes(archive);
  WriteBytes(t / "odd\xFF" / "f.txt", "f");
  EXPECT_NE(Add("a -r2 -x1 " + Arg(archive) + " " + Arg(t), &message), 0);
  EXPECT_NE(message.find("0xFF"), std::string::npos) << message;
  EXPECT_EQ(ReadBytes(archive), before);
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
    WriteBytes(t / ("m" + std::to_string(i)), s);
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
  WriteBytes(a / "keep.txt", std::string(5000, 'k'));
  WriteBytes(a / "change.txt", "old");
  WriteBytes(b / "other.txt", "other");
  const fs::path archive = root_ / "out" / "x.lzh";
  const std::string line = "a -r2 -x1 \"" + archive.string() + "\" ";
  ASSERT_EQ(Add(line + a.string()), 0);
  ASSERT_EQ(Add(line + b.string()), 0);
  const std::string before = ReadBytes(archive);
  WriteBytes(a / "change.txt", "new contents");
  std::string message;
  ASSERT_EQ(Add(line + a.string(), &message), 0);
  EXPECT_EQ(message, "added 3 and kept 2 members: " + archive.string());
  const std::string after = ReadBytes(archive);
  // The members of b went over unchanged (they follow the new ones).
  const size_t bAt = before.find("other.txt");
  ASSERT_NE(bAt, std::string::npos);
  EXPECT_NE(after.find(before.substr(bAt - 40, 60)), std::string::npos);

  const fs::path x = root_ / "x";
  fs::create_directories(x);
  if (!Installed("bsdtar")) GTEST_SKIP() << "bsdtar (libarchive-tools) not installed";
  ASSERT_EQ(Shell("bsdtar -xf " + Quote(archive) + " -C " + Quote(x)), 0);
  EXPECT_EQ(ReadBytes(x / "a" / "change.txt"), "new contents");
  EXPECT_EQ(ReadBytes(x / "a" / "keep.txt"), std::string(5000, 'k'));
  EXPECT_EQ(ReadBytes(x / "b" / "other.txt"), "other");
}

TEST_F(Readers, AFailedCallLeavesTheArchiveAsItWasAndNoTemporaryFile) {
  const fs::path t = root_ / "t";
  WriteBytes(t / "f.txt", "contents");
  const fs::path archive = root_ / "out" / "x.lzh";
  ASSERT_EQ(Add("a -r2 -x1 " + archive.string() + " " + t.string()), 0);
  const std::string before = ReadBytes(archive);
  std::string message;

  // A missing target, and a FIFO target whose contents cannot be archived.
  EXPECT_NE(Add("a -r2 -x1 " + archive.string() + " " + (root_ / "absent").string(), &message), 0);
  EXPECT_NE(message.find("absent"), std::string::npos);
  ASSERT_EQ(mkfifo((t / "pipe").c_str(), 0600), 0);
  EXPECT_NE(Add("a -r2 -x1 " + archive.string() + " " + (t / "pipe").string(), &message), 0);
  EXPECT_EQ(ReadBytes(archive), before);

  // Something that is not an LHA archive is never replaced.
  const fs::path junk = root_ / "out" / "junk.lzh";
  WriteBytes(junk, "this is not an archive, it is a letter to keep");
  fs::remove(t / "pipe");
  EXPECT_NE(Add("a -r2 -x1 " + junk.string() + " " + t.string(), &message), 0);
  EXPECT_EQ(ReadBytes(junk), "this is not an archive, it is a letter to keep");

  EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "out"), fs::directory_iterator()), 2);
}

TEST_F(Readers, AnArchiveSavedInsideItsTargetIsNotPackedIntoItself) {
  const fs::path t = root_ / "t";
  WriteBytes(t / "f.txt", std::string(100000, 'q'));
  const fs::path archive = t / "self.lzh";
  ASSERT_EQ(Add("a -r2 -x1 " + archive.string() + " " + t.string()), 0);
  ASSERT_EQ(Add("a -r2 -x1 " + archive.string() + " " + t.string()), 0);
  EXPECT_LT(fs::file_size(archive), 2000u);
}

}  // namespace
