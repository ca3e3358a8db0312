// What an update must never do in either archiver library, whatever the save
// folder holds and whatever the disk does: block on a FIFO, leave a
// temporary file or a damaged archive behind, or let another user read the
// archive while it is written. Each case runs for LHA, ZIP and 7z through
// the entry point the program calls, with the switches it passes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
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

// What a reader extracts of archive: each file's path and contents.
std::map<std::string, std::string> Extracted(const fs::path& archive) {
  support::ScratchFolder out;
  const std::string command =
      "bsdtar -xf '" + archive.string() + "' -C '" + out.path().string() + "' 2>&1";
  std::string text;
  EXPECT_EQ(support::Shell(command, &text), 0) << text;
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(out.path())) {
    if (e.is_regular_file()) {
      files[fs::relative(e.path(), out.path()).string()] = support::ReadBytes(e.path());
    }
  }
  return files;
}

// A file the call cannot read, however it fails, is left out and named; the
// rest is archived, an older copy of the file stays, and the list beside
// the archive says what is missing.
TEST_P(ArchiverSafety, WhatCannotBeReadIsLeftOutNamedAndKeepsItsOldCopy) {
  if (!support::Installed("bsdtar")) GTEST_SKIP() << "bsdtar not installed";
  const fs::path archive = Archive("docs");
  const fs::path victim = Docs() / "a.txt";
  const fs::path list = archive.string() + ".missing.txt";
  struct Fault {
    const char* name;
    std::function<void(FaultInjector&)> plant;
    std::string reason;
  };
  const std::vector<Fault> faults{
      {"swapped for a FIFO after the walk",
       [&](FaultInjector& seam) {
         seam.OnOpen([&](const std::string& path) {
           if (path != victim.string()) return;
           fs::remove(victim);
           mkfifo(victim.c_str(), 0600);
         });
       },
       "cannot read " + victim.string() + ": it is a FIFO, not a regular file"},
      {"gone after the walk",
       [&](FaultInjector& seam) {
         seam.OnOpen([&](const std::string& path) {
           if (path == victim.string()) fs::remove(victim);
         });
       },
       "cannot read " + victim.string() + ": No such file or directory"},
      {"a read failing part way",
       [&](FaultInjector& seam) { seam.FailRead(victim.string(), 40000, EIO); },
       "cannot read " + victim.string() + ": Input/output error"},
      {"changed while it was read, every time",
       [&](FaultInjector& seam) {
         // Cut short, then rewritten in place: the same size, another time.
         seam.AfterReading(victim.string(), 1, [&] {
           static int changes = 0;
           ++changes;
           support::WriteBytes(victim, std::string(100, static_cast<char>('b' + changes % 2)));
           fs::last_write_time(victim, fs::last_write_time(victim) + std::chrono::seconds(changes));
         });
       },
       "changed while it was read: " + victim.string()},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    fs::remove(victim);  // the FIFO planted before
    support::WriteBytes(victim, std::string(70000, 'a'));
    fs::remove(archive);
    ASSERT_EQ(Add(archive).result, 0);
    support::WriteBytes(Docs() / "new.txt", "added later");
    Outcome o;
    {
      FaultInjector seam;
      fault.plant(seam);
      o = AddWithoutBlocking(archive);
    }
    EXPECT_EQ(o.result, 1) << o.message;
    EXPECT_EQ(o.message.rfind("left out 1 entry it could not read (" + fault.reason +
                                  "), listed in " + list.string() + "; ",
                              0),
              0u)
        << o.message;
    const std::map<std::string, std::string> files = Extracted(archive);
    EXPECT_EQ(files.at("Docs/a.txt"), std::string(70000, 'a')) << "the old copy stays";
    EXPECT_EQ(files.at("Docs/new.txt"), "added later");
    EXPECT_EQ(files.at("Docs/sub/b.txt"), "bravo");
    EXPECT_NE(support::ReadBytes(list).find("\n" + fault.reason + "\n"), std::string::npos);
    EXPECT_TRUE(support::TemporaryFiles(Save()).empty());
    fs::remove(Docs() / "new.txt");
  }
  // A later call that reads everything takes the list away.
  support::WriteBytes(victim, "whole again");
  ASSERT_EQ(Add(archive).result, 0);
  EXPECT_FALSE(fs::exists(list));
  EXPECT_EQ(Extracted(archive).at("Docs/a.txt"), "whole again");
}

// A large file failing part way is taken back out of what was already
// written of it: the archive is whole without it.
TEST_P(ArchiverSafety, ALargeFileFailingPartWayLeavesAWholeArchiveWithoutIt) {
  if (!support::Installed("bsdtar")) GTEST_SKIP() << "bsdtar not installed";
  const fs::path archive = Archive("docs");
  const fs::path noise = Docs() / "noise.bin";
  // Large enough that LHA streams it and ZIP cuts it in parts; 7z, slow on
  // noise, has no such threshold.
  const size_t size = std::string(GetParam().extension) == ".7z" ? 3 << 20 : 17 << 20;
  std::mt19937 random(5);
  support::WriteBytes(noise, support::Noise(random, size));
  const Outcome o = [&] {
    FaultInjector seam;
    seam.FailRead(noise.string(), size - (1 << 19), EIO);
    return Add(archive);
  }();
  EXPECT_EQ(o.result, 1);
  EXPECT_NE(o.message.find("(cannot read " + noise.string() + ": Input/output error)"),
            std::string::npos)
      << o.message;
  const std::map<std::string, std::string> files = Extracted(archive);
  EXPECT_EQ(files.count("Docs/noise.bin"), 0u);
  EXPECT_EQ(files.at("Docs/sub/b.txt"), "bravo");
  EXPECT_EQ(files.at("Docs/a.txt").size(), 70000u);
}

// A file changed once while it was read is read again and stored as it then
// was; one that only grew is stored at its size when opened; short reads
// change nothing. None of these fails the call.
TEST_P(ArchiverSafety, AFileReadAgainOrReadShortIsStoredWhole) {
  if (!support::Installed("bsdtar")) GTEST_SKIP() << "bsdtar not installed";
  const fs::path archive = Archive("docs");
  const fs::path victim = Docs() / "a.txt";
  {
    FaultInjector seam;
    int changes = 0;
    seam.AfterReading(victim.string(), 1, [&] {
      if (++changes == 1) support::WriteBytes(victim, "rewritten");
    });
    ASSERT_EQ(Add(archive).result, 0);
  }
  EXPECT_EQ(Extracted(archive).at("Docs/a.txt"), "rewritten");
  support::WriteBytes(victim, std::string(70000, 'a'));
  {
    FaultInjector seam;
    seam.AfterReading(victim.string(), 1, [&] { std::ofstream(victim, std::ios::app) << "more"; });
    ASSERT_EQ(Add(archive).result, 0);
  }
  EXPECT_EQ(Extracted(archive).at("Docs/a.txt"), std::string(70000, 'a'));
  const std::string whole = support::ReadBytes(archive);
  {
    FaultInjector seam;
    seam.ShortenReads(1000);
    support::WriteBytes(victim, std::string(70000, 'a'));
    ASSERT_EQ(Add(archive).result, 0);
  }
  EXPECT_EQ(Extracted(archive).at("Docs/a.txt"), std::string(70000, 'a'));
  EXPECT_FALSE(fs::exists(archive.string() + ".missing.txt"));
}

// Nothing readable: no archive is written.
TEST_P(ArchiverSafety, NothingReadableWritesNoArchive) {
  const fs::path archive = Archive("docs");
  FaultInjector seam;
  seam.OnOpen([&](const std::string& path) {
    if (path.find("/Docs/") != std::string::npos) fs::remove(path);
  });
  const Outcome o = Add(archive);
  EXPECT_EQ(o.result, 1);
  EXPECT_EQ(o.message.rfind("left out 2 entries it could not read (", 0), 0u) << o.message;
  EXPECT_NE(o.message.find("; nothing archived"), std::string::npos) << o.message;
  EXPECT_TRUE(support::Names(Save()).empty());
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
