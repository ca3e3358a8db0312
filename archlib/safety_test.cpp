// What an update must never do in either archiver library, whatever the save
// folder holds and whatever the disk does: block on a FIFO, leave a
// temporary file or a damaged archive behind, or let another user read the
// archive while it is written. Each case runs for LHA, ZIP and 7z through
// the entry point the program calls, with the switches it passes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/archiver_entry.h"
#include "platform/posix/fault_injection.h"
#include "testing/fault_sweep.h"
#include "testing/processes.h"
#include "testing/support.h"

ARCHIVER_EXPORT int ARCHIVER_CALL Unlha(uint32_t, const char*, char*, uint32_t);
ARCHIVER_EXPORT int ARCHIVER_CALL SevenZip(uint32_t, const char*, char*, uint32_t);

namespace fs = std::filesystem;

namespace {

using platform::posix::FaultInjector;
namespace support = test_support;

// A library and the kind of archive it is asked for.
struct Library {
  ArchiverEntryPoint entry;
  const char* switches;
  const char* extension;
};
void PrintTo(const Library& library, std::ostream* out) {
  *out << library.extension;
}

struct Outcome {
  int result;
  std::string message;
};

class ArchiverSafety : public ::testing::TestWithParam<Library> {
 protected:
  void SetUp() override {
    fs::create_directories(Save());
    support::WriteBytes(Docs() / "a.txt", std::string(70000, 'a'));
    support::WriteBytes(Docs() / "sub" / "b.txt", "bravo");
  }
  fs::path Save() const { return folder_ / "save"; }
  fs::path Docs() const { return folder_ / "Docs"; }
  fs::path Archive(const std::string& stem) const { return Save() / (stem + GetParam().extension); }

  // Adds Docs to archive, as the program asks the library.
  Outcome Add(const fs::path& archive) const {
    const std::string line = std::string("a ") + GetParam().switches + "\"" + archive.string() +
                             "\" \"" + Docs().string() + "\"";
    char area[512];
    const int result = GetParam().entry(0, line.c_str(), area, sizeof area);
    return {result, area};
  }
  // The same, in a child that a FIFO would block forever: result -1 when it
  // had not finished well after it should have.
  Outcome AddWithoutBlocking(const fs::path& archive) const {
    const std::string report = support::InChild([&] {
      const Outcome o = Add(archive);
      return std::to_string(o.result) + " " + o.message;
    });
    const size_t space = report.find(' ');
    if (space == std::string::npos) return {-1, report};
    return {std::stoi(report.substr(0, space)), report.substr(space + 1)};
  }

  support::ScratchFolder folder_;
};

INSTANTIATE_TEST_SUITE_P(Libraries, ArchiverSafety,
                         ::testing::Values(Library{Unlha, "-r2 -x1 ", ".lzh"},
                                           Library{SevenZip, "", ".zip"},
                                           Library{SevenZip, "", ".7z"}),
                         [](const auto& info) { return std::string(info.param.extension + 1); });

TEST_P(ArchiverSafety, AFifoAtTheArchivesNameFailsAtOnceLeavingNothing) {
  const fs::path archive = Archive("docs_20260101220000");
  ASSERT_EQ(mkfifo(archive.c_str(), 0600), 0);
  const Outcome o = AddWithoutBlocking(archive);
  EXPECT_NE(o.result, -1) << "the call blocked on the FIFO";
  EXPECT_NE(o.result, 0);
  EXPECT_EQ(o.message, "cannot read " + archive.string() + ": it is a FIFO, not a regular file");
  EXPECT_EQ(support::Names(Save()), std::vector<std::string>{archive.filename()});
}

TEST_P(ArchiverSafety, AFileSwappedForAFifoAfterTheWalkFailsAtOnceLeavingNothing) {
  const fs::path archive = Archive("docs");
  ASSERT_EQ(Add(archive).result, 0);
  const std::string before = support::ReadBytes(archive);
  const fs::path victim = Docs() / "sub" / "b.txt";
  FaultInjector seam;
  seam.OnOpen([&](const std::string& path) {
    if (path != victim.string()) return;
    fs::remove(victim);
    mkfifo(victim.c_str(), 0600);
  });
  const Outcome o = AddWithoutBlocking(archive);
  EXPECT_NE(o.result, -1) << "the call blocked on the FIFO";
  EXPECT_NE(o.result, 0);
  EXPECT_EQ(o.message, "cannot read " + victim.string() + ": it is a FIFO, not a regular file");
  EXPECT_EQ(support::ReadBytes(archive), before);
  EXPECT_TRUE(support::TemporaryFiles(Save()).empty());
}

TEST_P(ArchiverSafety, EveryWriteFlushOrRenameFailureLeavesTheOldArchiveAndNoTemporaryFile) {
  const fs::path archive = Archive("docs");
  // Data that does not compress, so that the archive takes many writes.
  std::mt19937 random(11);
  support::WriteBytes(Docs() / "noise.bin", support::Noise(random, 3 << 20));
  ASSERT_EQ(Add(archive).result, 0);
  const size_t faults = support::ExpectFaultsLeaveFileWhole(
      archive, [&] { return Add(archive).result == 0; }, 24);
  // Every write of a 1 MiB buffer, its flush and its rename, at the least.
  EXPECT_GE(faults, 5u);
}

TEST_P(ArchiverSafety, EveryTemporaryFileIsPrivateFromTheMomentItExists) {
  const fs::path archive = Archive("private");
  ASSERT_EQ(Add(archive).result, 0);
  fs::permissions(archive, fs::perms(0600));
  std::vector<mode_t> created;
  {
    FaultInjector seam;
    seam.OnCreate([&](const std::string&, mode_t mode) { created.push_back(mode); });
    ASSERT_EQ(Add(archive).result, 0);
  }
  ASSERT_FALSE(created.empty());
  for (mode_t mode : created) EXPECT_EQ(mode & 077, 0u);
  struct stat info;
  ASSERT_EQ(stat(archive.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
}

}  // namespace
