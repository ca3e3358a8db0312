// What a ZIP or 7z update must never do beyond what archlib/safety_test.cpp
// holds every library to: carry over an entry of an old archive that would
// extract outside its folder, leave a scratch file of the 7z writer behind,
// or take memory for a file by the size it had when the tree was walked.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "archlib/entry.h"
#include "archlib/tree_walk.h"
#include "platform/posix/atomic_file.h"
#include "platform/posix/fault_injection.h"
#include "sevenzip/add_command.h"
#include "sevenzip/seven_z_writer.h"
#include "sevenzip/source.h"
#include "sevenzip/zip_writer.h"
#include "testing/fault_sweep.h"
#include "testing/processes.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace sevenzip {
namespace {

using platform::posix::AtomicFile;
using platform::posix::FaultInjector;
using test_support::InChild;
using test_support::Installed;
using test_support::Names;
using test_support::Output;
using test_support::ReadBytes;
using test_support::WriteBytes;

struct Outcome {
  int result;
  std::string message;
};

Outcome Add(const std::string& line) {
  char area[512];
  const int result = archlib::RunCommand(area, sizeof area, [&] { return RunAdd(line); });
  return {result, area};
}

std::string Quote(const fs::path& p) {
  return "'" + p.string() + "'";
}

class SevenZipSafety : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    fs::create_directories(Save());
    fs::create_directories(Docs() / "sub");
    WriteBytes(Docs() / "a.txt", std::string(70000, 'a'));
    WriteBytes(Docs() / "sub" / "b.txt", "bravo");
  }
  fs::path Save() const { return folder_.path() / "save"; }
  fs::path Docs() const { return folder_.path() / "Docs"; }
  fs::path Archive(const std::string& stem) const { return Save() / (stem + GetParam()); }
  std::string Line(const fs::path& archive) const {
    return "a \"" + archive.string() + "\" \"" + Docs().string() + "\"";
  }
  test_support::ScratchFolder folder_;
};

INSTANTIATE_TEST_SUITE_P(ZipAnd7z, SevenZipSafety, ::testing::Values(".zip", ".7z"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST_P(SevenZipSafety, AnUpdateDropsAbsoluteAndParentNamesOfTheOldArchiveAndSaysSo) {
  // The old archive, written with names no walk would give.
  const fs::path archive = Archive("hostile");
  std::vector<Source> sources;
  for (const char* name : {"../../evil.txt", "/etc/evil.txt", "Keep/kept.txt"}) {
    archlib::WalkTarget((Docs() / "sub" / "b.txt").string(), [&](const archlib::TreeEntry& e) {
      sources.push_back({e, name});
    });
  }
  {
    AtomicFile file(archive.string());
    if (archive.extension() == ".zip") {
      WriteZip(file.Descriptor(), file.Path(), sources, nullptr);
    } else {
      WriteSevenZFolders(file.Descriptor(), file.Path(), sources, nullptr);
    }
    file.Commit();
  }
  const Outcome o = Add(Line(archive));
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(o.message, "wrote 5 entries to " + archive.string() + " and dropped 2 unsafe names");
  if (!Installed("bsdtar") || !Installed("7zz")) GTEST_SKIP() << "bsdtar or 7zz not installed";
  const std::string listing = Output("bsdtar -tf " + Quote(archive) + " | sort");
  EXPECT_EQ(listing, "Docs/\nDocs/a.txt\nDocs/sub/\nDocs/sub/b.txt\nKeep/kept.txt\n");
  const std::string test = Output("7zz t " + Quote(archive));
  EXPECT_NE(test.find("Everything is Ok"), std::string::npos) << test;
  EXPECT_EQ(test.find("evil"), std::string::npos) << test;
}

// The 7z writer's scratch files for its other folders fail the same way.
TEST(SevenZFolders, AFailureInAnyFolderLeavesNoScratchOrTemporaryFile) {
  test_support::ScratchFolder folder;
  const fs::path tree = folder.path() / "Tree";
  fs::create_directories(tree);
  std::mt19937 random(5);
  for (int i = 0; i < 6; ++i) {
    std::string data(100000, '\0');
    for (char& c : data) c = static_cast<char>('a' + random() % 4);
    WriteBytes(tree / ("f" + std::to_string(i)), data);
  }
  const fs::path archive = folder.path() / "tree.7z";
  WriteBytes(archive, "old");
  const std::vector<Source> sources = GatherSources({tree.string()}, 0, 0);
  std::vector<mode_t> created;
  test_support::SweepFaults(
      [&] { WriteBytes(archive, "old"); },
      [&] {
        try {
          AtomicFile file(archive.string());
          WriteSevenZFolders(file.Descriptor(), file.Path(), sources, nullptr, {3, 64 << 10, 6});
          file.Commit();
          return true;
        } catch (const archlib::Failure&) {
          return false;
        }
      },
      [&](const std::string& fault, bool failed) {
        EXPECT_TRUE(failed) << fault << " was reported as success";
        EXPECT_EQ(ReadBytes(archive), "old") << fault;
        EXPECT_EQ(Names(folder.path()), (std::vector<std::string>{"Tree", "tree.7z"})) << fault;
      },
      24);
}

// A figure of /proc/self/status in KiB: VmRSS now, VmHWM the peak so far.
long StatusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  }
  return -1;
}

// A file walked as 1 KB that is 256 MiB by the time it is opened: the ZIP
// writer must not read it whole into memory on the strength of the walk.
TEST(ZipMemory, AFileThatGrewSinceTheWalkIsStreamedNotReadWhole) {
  test_support::ScratchFolder folder;
  const fs::path docs = folder.path() / "Docs";
  fs::create_directories(docs);
  WriteBytes(docs / "grows.bin", std::string(1024, 'g'));
  const fs::path archive = folder.path() / "grows.zip";
  constexpr uintmax_t kGrown = uintmax_t{256} << 20;
  // Measured in a child of its own: the peak it reaches above what it
  // started with.
  const std::string report = InChild([&] {
    const long start = StatusKiB("VmRSS");
    FaultInjector seam;
    seam.OnOpen([&](const std::string& path) {
      if (path == (docs / "grows.bin").string()) fs::resize_file(path, kGrown);
    });
    const Outcome o = Add("a \"" + archive.string() + "\" \"" + docs.string() + "\"");
    return std::to_string(o.result) + " " + std::to_string((StatusKiB("VmHWM") - start) / 1024) +
           " " + o.message;
  });
  int result = -1;
  long grewMiB = 0;
  ASSERT_EQ(std::sscanf(report.c_str(), "%d %ld", &result, &grewMiB), 2) << report;
  EXPECT_EQ(result, 0) << report;
  // Reading it whole would take 256 MiB at the least; streaming holds a
  // few MiB of buffers.
  EXPECT_LT(grewMiB, 64) << "memory taken in MiB: " << report;
  if (!Installed("unzip")) GTEST_SKIP() << "unzip not installed";
  EXPECT_NE(Output("unzip -l " + Quote(archive)).find(std::to_string(kGrown)), std::string::npos);
}

}  // namespace
}  // namespace sevenzip
