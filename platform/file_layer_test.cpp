// The archiver libraries' file layer as it behaves on every system: reads
// that stop at the size a file had when it was opened, one identity for one
// file whatever the path, sizes and offsets beyond 4 GiB, an atomic replace
// that leaves the old file whole until it commits, and folder listings that
// give names as the system holds them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/file_info.h"
#include "platform/folder_names.h"
#include "platform/input_file.h"
#include "platform/name_text.h"
#include "platform/thread_locale.h"
#include "testing/support.h"

namespace {

namespace fs = std::filesystem;
using test_support::PathOf;
using test_support::ReadBytes;
using test_support::Utf8Of;
using test_support::WriteBytes;

std::string ReadWhole(platform::InputFile& file) {
  std::string bytes(64, '\0');
  bytes.resize(file.ReadFully(bytes.data(), bytes.size()));
  return bytes;
}

TEST(FileLayer, ReadsStopAtTheSizeTheFileHadWhenItWasOpened) {
  test_support::ScratchFolder scratch;
  const fs::path path = scratch.path() / "growing.log";
  WriteBytes(path, "0123456789");
  platform::InputFile file = platform::InputFile::Open(Utf8Of(path));
  std::ofstream(path, std::ios::binary | std::ios::app) << "abc";

  EXPECT_EQ(file.Size(), 10u);
  EXPECT_EQ(ReadWhole(file), "0123456789");
  char byte;
  EXPECT_EQ(file.Read(&byte, 1), 0u);
  file.Rewind();
  EXPECT_EQ(ReadWhole(file), "0123456789");
  // Positioned reads see the file as it is now.
  char tail[8];
  EXPECT_EQ(file.File().ReadUpTo(8, tail, sizeof tail), 5u);
  EXPECT_EQ(std::string(tail, 5), "89abc");
  const std::string absent = Utf8Of(scratch.path() / "absent");
  EXPECT_EQ(platform::InputFile::OpenIfPresent(absent), std::nullopt);
  EXPECT_EQ(platform::InspectIfPresent(absent, platform::Links::kNotFollowed), std::nullopt);
}

TEST(FileLayer, OneFileHasOneIdentityWhateverThePathAndAFolderIsNoInput) {
  test_support::ScratchFolder scratch;
  WriteBytes(scratch.path() / "a.txt", "a");
  WriteBytes(scratch.path() / "other.txt", "a");
  fs::create_hard_link(scratch.path() / "a.txt", scratch.path() / "b.txt");
  const auto identity = [&](const char* name) {
    return platform::Inspect(Utf8Of(scratch.path() / name), platform::Links::kNotFollowed).identity;
  };
  EXPECT_NE(identity("a.txt").index, 0u);
  EXPECT_EQ(identity("a.txt"), identity("b.txt"));
  EXPECT_NE(identity("a.txt"), identity("other.txt"));
  EXPECT_EQ(platform::InputFile::Open(Utf8Of(scratch.path() / "b.txt")).Info().identity,
            identity("a.txt"));

  const std::string folder = Utf8Of(scratch.path());
  EXPECT_EQ(platform::Inspect(folder, platform::Links::kNotFollowed).kind,
            platform::FileKind::kFolder);
  EXPECT_EQ(test_support::FailureOf([&] { platform::InputFile::Open(folder); }),
            "cannot read " + folder + ": it is a folder, not a regular file");
}

TEST(FileLayer, SizesAndOffsetsBeyondFourGibibytesHold) {
  test_support::ScratchFolder scratch;
  const std::string path = Utf8Of(scratch.path() / "large.bin");
  constexpr uint64_t kLarge = (5ull << 30) + 7;
  {
    // Sparse: the file system holds only the bytes written.
    platform::AtomicFile file(path);
    file.File().Resize(kLarge);
    file.File().WriteAt(kLarge - 3, "end", 3);
    EXPECT_EQ(file.File().CurrentSize(), kLarge);
    file.Commit();
  }
  EXPECT_EQ(platform::Inspect(path, platform::Links::kNotFollowed).size, kLarge);
  platform::InputFile file = platform::InputFile::Open(path);
  EXPECT_EQ(file.Size(), kLarge);
  char end[4] = {};
  EXPECT_EQ(file.File().ReadUpTo(kLarge - 3, end, sizeof end), 3u);
  EXPECT_EQ(std::string(end, 3), "end");
}

TEST(FileLayer, AnAtomicReplaceLeavesTheOldFileWholeUntilItCommits) {
  test_support::ScratchFolder scratch;
  const fs::path path = scratch.path() / "archive.lzh";
  WriteBytes(path, "old archive");
  {
    platform::AtomicFile file(Utf8Of(path));
    file.File().WriteAt(0, "new", 3);
    EXPECT_EQ(test_support::TemporaryFiles(scratch.path()).size(), 1u);
    EXPECT_EQ(ReadBytes(path), "old archive");
  }
  EXPECT_EQ(ReadBytes(path), "old archive");
  EXPECT_TRUE(test_support::TemporaryFiles(scratch.path()).empty());
  {
    platform::AtomicFile file(Utf8Of(path));
    file.File().WriteAt(0, "new archive", 11);
    file.Commit();
  }
  EXPECT_EQ(ReadBytes(path), "new archive");
  EXPECT_EQ(test_support::Names(scratch.path()), std::vector<std::string>{"archive.lzh"});
}

TEST(FileLayer, AFolderListsItsNamesAsTheSystemHoldsThem) {
  test_support::ScratchFolder scratch;
  // Second bytes 5C and 7C in code page 932, and a character it lacks.
  const fs::path folder = scratch.path() / PathOf("ソ能");
  WriteBytes(folder / PathOf("表ソ能ポ.txt"), "表");
  WriteBytes(folder / PathOf("写真😀.txt"), "😀");
  fs::create_directory(folder / PathOf("ポ"));
  std::vector<std::string> names = platform::FolderNames(Utf8Of(folder));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"ポ", "写真😀.txt", "表ソ能ポ.txt"}));
  for (const char* name : {"写真😀.txt", "表ソ能ポ.txt"}) {
    platform::InputFile file = platform::InputFile::Open(platform::JoinPath(Utf8Of(folder), name));
    EXPECT_EQ(ReadWhole(file), ReadBytes(folder / PathOf(name)));
  }
  EXPECT_EQ(
      platform::Inspect(platform::JoinPath(Utf8Of(folder), "ポ"), platform::Links::kNotFollowed)
          .kind,
      platform::FileKind::kFolder);
  EXPECT_NE(test_support::FailureOf([&] {
              platform::FolderNames(Utf8Of(folder / "absent"));
            }).find("cannot open folder "),
            std::string::npos);
}

TEST(FileLayer, ANameBecomesUtf16WholeBeyondTheBasicPlane) {
  // On POSIX names are the locale's bytes; here they are UTF-8 text.
  if (platform::SystemCodePage() == 65001 || platform::SystemCodePage() == 932) {
    const platform::ThreadLocale locale(platform::ThreadLocale::Of::kEnvironment);
    EXPECT_EQ(platform::NameInUtf16("ソ能/表ポ😀.txt"), u"ソ能/表ポ😀.txt");
  } else {
    GTEST_SKIP() << "the environment's names are not UTF-8";
  }
}

}  // namespace
