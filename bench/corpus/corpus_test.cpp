// The benchmark corpus is the same on every build and machine, holds what a
// desktop folder holds, its kinds of files compress as real files of their
// kind do, and make_corpus never leaves a half-built corpus nor touches a
// folder it did not build.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/corpus/binary.h"
#include "bench/corpus/layout.h"
#include "bench/corpus/manifest.h"
#include "bench/corpus/media.h"
#include "bench/corpus/office.h"
#include "bench/corpus/random.h"
#include "bench/corpus/records.h"
#include "bench/corpus/reference.h"
#include "bench/corpus/sha256.h"
#include "bench/corpus/source.h"
#include "bench/corpus/text.h"
#include "bench/corpus/tree.h"
#include "testing/support.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// The digest of the corpus at 20 per mille. It changes only when the
// generator is changed on purpose; then the reference digest in
// make_corpus.cpp and the README's figures change with it.
constexpr const char* kDigestAt20 =
    "822ff9af61418fd73e9eb44c5a122f9640e83b5e398eef8527a6008fa8955e26";

using Folder = test_support::ScratchFolder;

std::string Build(const fs::path& root, uint32_t permille) {
  corpus::Tree tree(root);
  corpus::Lay(tree, permille);
  tree.Finish();
  return corpus::Digest(corpus::Manifest(root));
}

double Deflated(const std::string& bytes) {
  uLongf size = compressBound(bytes.size());
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size,
            reinterpret_cast<const Bytef*>(bytes.data()), bytes.size(), 6);
  return double(size) / double(bytes.size());
}

struct Outcome {
  int status = -1;
  std::string output;
};

// make_corpus with arguments; its output and exit status.
Outcome MakeCorpus(const std::vector<std::string>& arguments) {
  const test_support::ScratchFolder folder;
  const fs::path log = folder / "output";
  std::string command = "'" MAKE_CORPUS "'";
  for (const std::string& argument : arguments) command += " '" + argument + "'";
  Outcome run;
  run.status = std::system((command + " >'" + log.string() + "' 2>&1").c_str());
  run.status = WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1;
  run.output = test_support::ReadBytes(log);
  return run;
}

std::string DigestLine(const std::string& output) {
  const size_t at = output.find("digest ");
  return at == std::string::npos ? "" : output.substr(at + 7, 64);
}

}  // namespace

TEST(Sha256, MatchesThePublishedDigests) {
  EXPECT_EQ(corpus::Sha256Hex(""),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(corpus::Sha256Hex("abc"),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(corpus::Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(corpus::Sha256Hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
  std::string data;
  corpus::Random random(7);
  random.Fill(data, 1000);
  const std::string whole = corpus::Sha256Hex(data);
  for (size_t piece : {1, 55, 56, 63, 64, 65, 127, 999}) {
    corpus::Sha256 sha;
    for (size_t at = 0; at < data.size(); at += piece)
      sha.Add(std::string_view(data).substr(at, piece));
    EXPECT_EQ(sha.Hex(), whole) << "pieces of " << piece;
  }
}

TEST(Random, BelowStaysInItsRangeAndReachesAllOfIt) {
  corpus::Random random(1);
  for (uint64_t n : {1, 2, 3, 10, 37}) {
    std::set<uint64_t> seen;
    for (int i = 0; i < 5000; ++i) {
      const uint64_t x = random.Below(n);
      ASSERT_LT(x, n);
      seen.insert(x);
    }
    EXPECT_EQ(seen.size(), n);
  }
}

TEST(Random, TheSameNameGivesTheSameNumbersAndOtherNamesOthers) {
  corpus::Random a = corpus::Random::For("Documents/a.txt");
  corpus::Random b = corpus::Random::For("Documents/a.txt");
  corpus::Random c = corpus::Random::For("Documents/b.txt");
  bool differs = false;
  for (int i = 0; i < 8; ++i) {
    const uint64_t x = a.Next();
    EXPECT_EQ(x, b.Next());
    differs |= x != c.Next();
  }
  EXPECT_TRUE(differs);
}

TEST(Random, ZipfDrawsRankOneFiftyTimesAsOftenAsRankNinetyNine) {
  // Weights 1 / (i + 2): rank 0 has 1/2, rank 98 has 1/100.
  corpus::Random random(3);
  const corpus::Zipf zipf(100, 2);
  std::vector<int> counts(100);
  for (int i = 0; i < 400000; ++i) ++counts[zipf.Pick(random)];
  EXPECT_GT(counts[0], counts[10]);
  EXPECT_GT(counts[10], counts[98]);
  const double ratio = double(counts[0]) / counts[98];
  EXPECT_GT(ratio, 35);
  EXPECT_LT(ratio, 70);
}

TEST(Corpus, TwoBuildsGiveTheSameDigestAsEveryMachine) {
  Folder one, two;
  const std::string first = Build(one.path() / "c", 20);
  EXPECT_EQ(first, Build(two.path() / "c", 20));
  EXPECT_EQ(first, kDigestAt20) << "the generator's output changed";
}

TEST(Corpus, HoldsWhatADesktopFolderHolds) {
  Folder folder;
  const fs::path root = folder.path() / "c";
  Build(root, 20);
  size_t files = 0, emptyFiles = 0, emptyFolders = 0, japanese = 0, blanks = 0, longest = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string relative = entry.path().lexically_relative(root).string();
    struct stat st {};
    ASSERT_EQ(lstat(entry.path().c_str(), &st), 0);
    ASSERT_FALSE(S_ISLNK(st.st_mode)) << relative;
    EXPECT_EQ(st.st_mtim.tv_sec % 2, 0) << relative << ": DOS time keeps even seconds only";
    EXPECT_GE(st.st_mtim.tv_sec, 1672531200) << relative;
    EXPECT_LT(st.st_mtim.tv_sec, 1672531200 + 2 * 366 * 86400) << relative;
    longest = std::max(longest, relative.size());
    japanese += relative.find("仕事") != std::string::npos;
    blanks += relative.find(' ') != std::string::npos;
    if (S_ISDIR(st.st_mode)) {
      EXPECT_EQ(st.st_mode & 07777, 0755u) << relative;
      emptyFolders += fs::is_empty(entry.path());
      continue;
    }
    ++files;
    emptyFiles += st.st_size == 0;
    const bool program = relative.rfind("Programs/bin/", 0) == 0 || relative.ends_with(".sh");
    EXPECT_EQ(st.st_mode & 07777, program ? 0755u : 0644u) << relative;
  }
  EXPECT_GT(files, 150u);
  EXPECT_GE(emptyFiles, 3u);
  EXPECT_GE(emptyFolders, 3u);
  EXPECT_GT(japanese, 0u);
  EXPECT_GT(blanks, 0u);
  EXPECT_GT(longest, 255u) << "a path longer than 255 bytes";
}

TEST(Corpus, FullScaleIsTheReferenceCorpusOfAboutEightyFiveMegabytes) {
  Folder folder;
  const fs::path root = folder.path() / "c";
  corpus::Tree tree(root);
  corpus::Lay(tree, 1000);
  tree.Finish();
  EXPECT_EQ(corpus::Digest(corpus::Manifest(root)), corpus::kReferenceDigest)
      << "the full corpus is not the one the README's figures were measured on";
  EXPECT_GT(tree.bytes(), 75'000'000u);
  EXPECT_LT(tree.bytes(), 95'000'000u);
  EXPECT_GE(tree.files(), 5000u);
  EXPECT_LE(tree.files(), 10000u);
}

TEST(Corpus, EachKindCompressesAsRealFilesOfItsKindDo) {
  // Bands around what Deflate at level 6 makes of real files of each kind.
  corpus::Random random(11);
  const corpus::Project project("engine");
  struct Kind {
    const char* name;
    std::string bytes;
    double low, high;
  };
  const Kind kinds[] = {
      {"English prose", corpus::TextDocument(random, false, 200000), 0.26, 0.42},
      {"Japanese prose", corpus::TextDocument(random, true, 200000), 0.15, 0.40},
      {"C++ source", corpus::CppSource(random, project, "src/a.cpp", 200000), 0.18, 0.38},
      {"C source", corpus::CSource(random, project, "core/a.c", 200000), 0.18, 0.38},
      {"Python", corpus::PythonModule(random, project, 200000), 0.18, 0.38},
      {"HTML manual page", corpus::HtmlPage(random, "Guide", 3, 200000), 0.2, 0.4},
      {"flat office document", corpus::FlatOpenDocument(random, false, 200000), 0.1, 0.3},
      {"syslog", corpus::SystemLog(random, 400000), 0.08, 0.25},
      {"CSV", corpus::SalesCsv(random, 400000), 0.1, 0.3},
      {"database", corpus::Database(random, 400000), 0.12, 0.4},
      {"executable", corpus::Elf(random, "tool", false, 800000), 0.25, 0.5},
      {"font", corpus::TrueTypeFont(random, "Sans", 200000), 0.5, 0.85},
      {"JPEG", corpus::Jpeg(random, 300000), 0.98, 1.01},
      {"PNG", corpus::Png(random, 48, 48, 3000), 0.98, 1.01},
      {"office ZIP", corpus::ZipOf(random, corpus::OfficeMembers(random, false, 100000)), 0.97,
       1.01},
      {"MP3", corpus::Mp3(random, "title", 200000), 0.97, 1.01},
      {"video", corpus::Mp4(random, 300000), 0.97, 1.01},
  };
  for (const Kind& kind : kinds) {
    const double ratio = Deflated(kind.bytes);
    EXPECT_GE(ratio, kind.low) << kind.name;
    EXPECT_LE(ratio, kind.high) << kind.name;
  }
}

TEST(Manifest, TheDigestChangesWithAnyNameByteModeOrTime) {
  Folder folder;
  const fs::path root = folder.path() / "c";
  corpus::Tree tree(root);
  tree.File("a/file.txt", "some text");
  tree.File("a/tool", "program", true);
  tree.Finish();
  const std::string original = corpus::Digest(corpus::Manifest(root));
  auto digest = [&] { return corpus::Digest(corpus::Manifest(root)); };

  const fs::path file = root / "a" / "file.txt";
  test_support::WriteBytes(file, "some test");
  EXPECT_NE(digest(), original) << "one byte";
  test_support::WriteBytes(file, "some text");
  const timespec times[2] = {{corpus::FixedTime("a/file.txt", false), 0},
                             {corpus::FixedTime("a/file.txt", false), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  const timespec folderTimes[2] = {{corpus::FixedTime("a", true), 0},
                                   {corpus::FixedTime("a", true), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (root / "a").c_str(), folderTimes, 0), 0);
  EXPECT_EQ(digest(), original) << "put back as it was";

  chmod(file.c_str(), 0600);
  EXPECT_NE(digest(), original) << "mode";
  chmod(file.c_str(), 0644);
  const timespec later[2] = {{times[0].tv_sec + 2, 0}, {times[0].tv_sec + 2, 0}};
  utimensat(AT_FDCWD, file.c_str(), later, 0);
  EXPECT_NE(digest(), original) << "time";
  utimensat(AT_FDCWD, file.c_str(), times, 0);
  fs::rename(file, root / "a" / "File.txt");
  utimensat(AT_FDCWD, (root / "a").c_str(), folderTimes, 0);
  EXPECT_NE(digest(), original) << "name";
}

TEST(MakeCorpus, KeepsAnIntactCorpusAndBuildsAChangedOneAgain) {
  Folder folder;
  const std::string corpus = (folder.path() / "corpus").string();
  const Outcome first = MakeCorpus({corpus, "20"});
  ASSERT_EQ(first.status, 0) << first.output;
  EXPECT_EQ(DigestLine(first.output), kDigestAt20);
  const fs::path sample = folder.path() / "corpus" / "Documents" / "logs" / "access.log";
  struct stat before {};
  ASSERT_EQ(stat(sample.c_str(), &before), 0);

  const Outcome again = MakeCorpus({corpus, "20"});
  ASSERT_EQ(again.status, 0) << again.output;
  struct stat after {};
  ASSERT_EQ(stat(sample.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "an intact corpus was built again";

  std::ofstream(sample, std::ios::app) << "one more line\n";
  const Outcome changed = MakeCorpus({corpus, "20"});
  ASSERT_EQ(changed.status, 0) << changed.output;
  EXPECT_NE(changed.output.find("building it again"), std::string::npos) << changed.output;
  EXPECT_EQ(DigestLine(changed.output), kDigestAt20);

  // The manifest names the generator, so that a corpus an older version
  // made is built again.
  std::ifstream manifest(corpus + ".manifest");
  std::string header;
  std::getline(manifest, header);
  EXPECT_NE(header.find("generator " + std::string(corpus::kReferenceDigest).substr(0, 16)),
            std::string::npos)
      << header;

  const Outcome otherScale = MakeCorpus({corpus, "10"});
  ASSERT_EQ(otherScale.status, 0) << otherScale.output;
  EXPECT_NE(DigestLine(otherScale.output), kDigestAt20);
  const Outcome digest = MakeCorpus({"--digest", corpus});
  EXPECT_EQ(digest.output, DigestLine(otherScale.output) + "\n");
}

TEST(MakeCorpus, LeavesAFolderItDidNotBuildAlone) {
  Folder folder;
  const fs::path mine = folder.path() / "mine";
  test_support::WriteBytes(mine / "thesis.txt", "three years of work\n");
  const Outcome run = MakeCorpus({mine.string(), "20"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("left alone"), std::string::npos) << run.output;
  EXPECT_EQ(test_support::ReadBytes(mine / "thesis.txt"), "three years of work\n");
}

TEST(MakeCorpus, AKilledBuildLeavesNoCorpusAndTheNextBuildIsWhole) {
  Folder folder;
  const std::string corpus = (folder.path() / "corpus").string();
  // Kill the build at seeded points, sometimes before it even started
  // writing, sometimes near its end; each time what is at the corpus's name
  // is either nothing or a complete corpus.
  corpus::Random random(2024);
  for (int attempt = 0; attempt < 6; ++attempt) {
    const std::string scale = "100";
    char* argv[] = {const_cast<char*>(MAKE_CORPUS), const_cast<char*>(corpus.c_str()),
                    const_cast<char*>(scale.c_str()), nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, MAKE_CORPUS, &quiet, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&quiet);
    ASSERT_EQ(spawned, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(random.Below(1200)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (fs::exists(corpus)) {
      const Outcome check = MakeCorpus({corpus, scale});
      EXPECT_EQ(check.output.find("building it again"), std::string::npos)
          << "attempt " << attempt << " left an incomplete corpus: " << check.output;
      fs::remove_all(corpus);
      fs::remove(corpus + ".manifest");
    }
  }
  const Outcome whole = MakeCorpus({corpus, "20"});
  ASSERT_EQ(whole.status, 0) << whole.output;
  EXPECT_EQ(DigestLine(whole.output), kDigestAt20);
  EXPECT_FALSE(fs::exists(corpus + ".partial"));
}

TEST(Tree, NeverWritesOverAFileThatIsThere) {
  Folder folder;
  corpus::Tree tree(folder.path());
  tree.File("notes/a.txt", "first");
  EXPECT_THROW(tree.File("notes/a.txt", "second"), std::runtime_error);
  EXPECT_EQ(test_support::ReadBytes(folder / "notes" / "a.txt"), "first");
}

TEST(Tree, FoldersGetTheirTimeAfterEverythingInsideThemWasWritten) {
  Folder folder;
  corpus::Tree tree(folder.path());
  tree.File("a/b/c/deep.txt", "x");
  tree.File("a/top.txt", "y");
  tree.Folder("a/empty");
  tree.Finish();
  for (const char* path : {"a", "a/b", "a/b/c", "a/empty"}) {
    struct stat st {};
    ASSERT_EQ(stat((folder.path() / path).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, corpus::FixedTime(path, true)) << path;
    EXPECT_EQ(st.st_mode & 07777, 0755u) << path;
  }
}

TEST(Manifest, AFifoOrALinkIsListedWithoutBeingRead) {
  // Reading a FIFO would wait for a writer for ever; a link is listed as a
  // link, its target not followed.
  Folder folder;
  const fs::path root = folder.path() / "c";
  test_support::WriteBytes(root / "sub" / "file.txt", "text");
  ASSERT_EQ(mkfifo((root / "pipe").c_str(), 0644), 0);
  fs::create_symlink("sub/file.txt", root / "link");
  fs::create_directory_symlink("/", root / "everything");
  const std::string manifest = corpus::Manifest(root);
  EXPECT_NE(manifest.find("\no 0644 "), std::string::npos) << manifest;
  EXPECT_NE(manifest.find(" - pipe\n"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find(corpus::Sha256Hex("sub/file.txt") + " link\n"), std::string::npos)
      << manifest;
  EXPECT_EQ(manifest.find("everything/"), std::string::npos) << "a linked folder was followed";
}

TEST(MakeCorpus, RefusesWrongArgumentsAndReportsWhatItCannotRead) {
  Folder folder;
  const std::string corpus = (folder.path() / "corpus").string();
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{},
                                                    {corpus, "abc"},
                                                    {corpus, "0"},
                                                    {corpus, "20000"},
                                                    {"--scale", corpus}}) {
    EXPECT_EQ(MakeCorpus(arguments).status, 2);
  }
  EXPECT_FALSE(fs::exists(corpus));
  const Outcome missing = MakeCorpus({"--digest", corpus});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("make_corpus:"), std::string::npos) << missing.output;
}

TEST(MakeCorpus, AFullDiskFailsTheBuildAndLeavesNoCorpus) {
  Folder folder;
  const fs::path disk = folder.path() / "disk";
  fs::create_directories(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << std::strerror(errno);
  }
  const Outcome full = MakeCorpus({(disk / "corpus").string(), "20"});
  const bool corpusThere = fs::exists(disk / "corpus");
  const bool manifestThere = fs::exists(disk / "corpus.manifest");
  umount(disk.c_str());
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.output.find("No space left on device"), std::string::npos) << full.output;
  EXPECT_FALSE(corpusThere);
  EXPECT_FALSE(manifestThere);
}
