// The LHA writer's threads: however many cores the machine has, the archive
// is the same; and a thread the system cannot start fails the call cleanly,
// whichever it is.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "archlib/entry.h"
#include "archlib/thread_injection.h"
#include "lha/add.h"
#include "lha/command.h"
#include "testing/support.h"
#include "testing/thread_sweep.h"

namespace fs = std::filesystem;

namespace lha {
namespace {

using test_support::ReadBytes;
using test_support::WriteBytes;

class LhaThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(24);
    for (int i = 0; i < 40; ++i) {
      WriteBytes(Docs() / ("d" + std::to_string(i % 3)) / ("f" + std::to_string(i)),
                 test_support::Words(random, random() % 100000));
    }
    fs::create_directories(folder_.path() / "save");
  }
  fs::path Docs() const { return folder_.path() / "Docs"; }
  fs::path Archive(const std::string& name) const { return folder_.path() / "save" / name; }
  // "" when the call succeeds, otherwise its message.
  std::string Add(const fs::path& archive) const {
    const std::string line =
        "a -r2 -x1 -o7 \"" + archive.string() + "\" \"" + Docs().string() + "\"";
    char area[512];
    const int result =
        archlib::RunCommand(area, sizeof area, [&] { return AddToArchive(ParseCommand(line)); });
    return result == 0 ? "" : area;
  }

  test_support::ScratchFolder folder_;
};

TEST_F(LhaThreads, TheArchiveIsTheSameForAnyNumberOfCores) {
  archlib::ThreadInjector injector;
  ASSERT_EQ(Add(Archive("1.lzh")), "");
  for (unsigned cores : {2, 8, 64}) {
    injector.ForceCores(cores);
    const fs::path archive = Archive(std::to_string(cores) + ".lzh");
    ASSERT_EQ(Add(archive), "");
    EXPECT_TRUE(ReadBytes(archive) == ReadBytes(Archive("1.lzh"))) << cores << " cores";
  }
}

TEST_F(LhaThreads, AThreadThatCannotStartFailsTheCallAndLeavesTheOldArchive) {
  const fs::path archive = Archive("docs.lzh");
  ASSERT_EQ(Add(archive), "");
  WriteBytes(Docs() / "new.txt", "new");
  const uint64_t starts =
      test_support::ExpectFailedStartsLeaveFileWhole(archive, 3, [&] { return Add(archive); });
  // The reader that checks the new archive, and three that compress.
  EXPECT_EQ(starts, 4u);
}

}  // namespace
}  // namespace lha
