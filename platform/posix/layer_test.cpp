// The archiver libraries' file layer over the POSIX one: the kinds it
// refuses are named as the POSIX layer names them, and a scratch file is
// its owner's alone.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "platform/file_info.h"
#include "platform/input_file.h"
#include "testing/support.h"

namespace {

using test_support::FailureOf;
using test_support::Utf8Of;

TEST(PosixFileLayer, AFifoOrLinkIsSeenAsItselfAndRefusedByKind) {
  test_support::ScratchFolder scratch;
  const std::string fifo = Utf8Of(scratch.path() / "planted.lzh");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(platform::Inspect(fifo, platform::Links::kNotFollowed).kind, platform::FileKind::kFifo);
  EXPECT_EQ(FailureOf([&] { platform::InputFile::Open(fifo); }),
            "cannot read " + fifo + ": it is a FIFO, not a regular file");
  test_support::WriteBytes(scratch.path() / "t", "target");
  const std::string link = Utf8Of(scratch.path() / "link");
  std::filesystem::create_symlink("t", link);
  EXPECT_EQ(platform::Inspect(link, platform::Links::kNotFollowed).kind, platform::FileKind::kLink);
  EXPECT_EQ(platform::ReadLink(link), "t");
  EXPECT_EQ(platform::Inspect(link, platform::Links::kFollowed).size, 6u);
  EXPECT_EQ(platform::InputFile::Open(link, platform::Links::kFollowed).Size(), 6u);
}

TEST(PosixFileLayer, AScratchFileIsItsOwnersAloneAndAReplacementTakesTheOldMode) {
  test_support::ScratchFolder scratch;
  const std::string archive = Utf8Of(scratch.path() / "a.zip");
  test_support::WriteBytes(archive, "old");
  ASSERT_EQ(chmod(archive.c_str(), 0640), 0);
  platform::AtomicFile scratchFile(archive, platform::AtomicFile::Readers::kOwnerOnly);
  platform::AtomicFile replacement(archive);
  EXPECT_EQ(scratchFile.File().Info().mode & 07777, 0600u);
  EXPECT_EQ(replacement.File().Info().mode & 07777, 0640u);
  EXPECT_EQ(scratchFile.File().Info().uid, getuid());
}

}  // namespace
