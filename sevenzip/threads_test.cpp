// A ZIP or 7z call whose thread the system cannot start, whichever thread
// it is (compressing whole files, the parts of a large one, checking what
// was written, compressing a 7z folder), fails cleanly: the old archive
// stays, no temporary file is left, and the message says why.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "archlib/entry.h"
#include "sevenzip/add_command.h"
#include "testing/support.h"
#include "testing/thread_sweep.h"

namespace fs = std::filesystem;

namespace sevenzip {
namespace {

using test_support::WriteBytes;

class SevenZipThreads : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    // A file too large for ZIP to compress whole, between two that, with
    // it, make three 7z folders.
    WriteBytes(Docs() / "a.bin", std::string(5 << 20, 'a'));
    WriteBytes(Docs() / "b.bin", std::string(17 << 20, 'b'));
    WriteBytes(Docs() / "c.bin", std::string(5 << 20, 'c'));
    fs::create_directories(folder_.path() / "save");
  }
  fs::path Docs() const { return folder_.path() / "Docs"; }
  // "" when the call succeeds, otherwise its message.
  std::string Add(const fs::path& archive) const {
    const std::string line = "a \"" + archive.string() + "\" \"" + Docs().string() + "\"";
    char area[512];
    const int result = archlib::RunCommand(area, sizeof area, [&] { return RunAdd(line); });
    return result == 0 ? "" : area;
  }

  test_support::ScratchFolder folder_;
};

INSTANTIATE_TEST_SUITE_P(ZipAnd7z, SevenZipThreads, ::testing::Values(".zip", ".7z"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST_P(SevenZipThreads, AThreadThatCannotStartFailsTheCallAndLeavesTheOldArchive) {
  const fs::path archive = folder_.path() / "save" / (std::string("docs") + GetParam());
  ASSERT_EQ(Add(archive), "");
  WriteBytes(Docs() / "new.txt", "new");
  const uint64_t starts =
      test_support::ExpectFailedStartsLeaveFileWhole(archive, 3, [&] { return Add(archive); });
  // ZIP: three for whole files, three for the large file's parts and two
  // that check the archive beside the calling thread. 7z: one for each
  // folder but the first, which the calling thread compresses.
  EXPECT_EQ(starts, GetParam() == std::string(".zip") ? 8u : 2u);
}

}  // namespace
}  // namespace sevenzip
