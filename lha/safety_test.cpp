// What an LHA update must never do, whatever the save folder holds and
// whatever the disk does: block on a FIFO, leave a temporary file or a
// damaged archive behind, let another user read the archive while it is
// written, or carry an entry that would extract outside its folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archlib/entry.h"
#include "lha/add.h"
#include "lha/command.h"
#include "lha/crc16.h"
#include "lha/header.h"
#include "platform/posix/fault_injection.h"
#include "testing/fault_sweep.h"
#include "testing/processes.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace lha {
namespace {

using platform::posix::FaultInjector;
namespace layer = test_support;

struct Outcome {
  int result;
  std::string message;
};

Outcome Add(const std::string& line) {
  char area[512];
  const int result =
      archlib::RunCommand(area, sizeof area, [&] { return AddToArchive(ParseCommand(line)); });
  return {result, area};
}

// The outcome, run in a child that a FIFO would block forever: result -1
// when it had not finished well after it should have.
Outcome AddWithoutBlocking(const std::string& line) {
  const std::string report = layer::InChild([&] {
    const Outcome o = Add(line);
    return std::to_string(o.result) + " " + o.message;
  });
  const size_t space = report.find(' ');
  if (space == std::string::npos) return {-1, report};
  return {std::stoi(report.substr(0, space)), report.substr(space + 1)};
}

class LhaSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Save());
    fs::create_directories(Docs() / "sub");
    layer::WriteBytes(Docs() / "a.txt", std::string(70000, 'a'));
    layer::WriteBytes(Docs() / "sub" / "b.txt", "bravo");
  }
  fs::path Save() const { return folder_.path() / "save"; }
  fs::path Docs() const { return folder_.path() / "Docs"; }
  std::string Line(const fs::path& archive) const {
    return "a -r2 -x1 \"" + archive.string() + "\" \"" + Docs().string() + "\"";
  }
  layer::ScratchFolder folder_;
};

TEST_F(LhaSafety, AFifoAtTheArchivesNameFailsAtOnceLeavingNothing) {
  const fs::path archive = Save() / "docs_20260101220000.lzh";
  ASSERT_EQ(mkfifo(archive.c_str(), 0600), 0);
  const Outcome o = AddWithoutBlocking(Line(archive));
  EXPECT_NE(o.result, 0);
  EXPECT_NE(o.result, -1) << "the call blocked on the FIFO";
  EXPECT_EQ(o.message, "cannot read " + archive.string() + ": it is a FIFO, not a regular file");
  EXPECT_EQ(layer::Names(Save()), std::vector<std::string>{archive.filename()});
}

TEST_F(LhaSafety, AFileSwappedForAFifoAfterTheWalkFailsAtOnceLeavingNothing) {
  const fs::path archive = Save() / "docs.lzh";
  ASSERT_EQ(Add(Line(archive)).result, 0);
  const std::string before = layer::ReadBytes(archive);
  const fs::path victim = Docs() / "sub" / "b.txt";
  FaultInjector seam;
  seam.OnOpen([&](const std::string& path) {
    if (path != victim.string()) return;
    fs::remove(victim);
    mkfifo(victim.c_str(), 0600);
  });
  const Outcome o = AddWithoutBlocking(Line(archive));
  EXPECT_NE(o.result, -1) << "the call blocked on the FIFO";
  EXPECT_NE(o.result, 0);
  EXPECT_EQ(o.message, "cannot read " + victim.string() + ": it is a FIFO, not a regular file");
  EXPECT_EQ(layer::ReadBytes(archive), before);
  EXPECT_TRUE(layer::TemporaryFiles(Save()).empty());
}

TEST_F(LhaSafety, EveryWriteFlushOrRenameFailureLeavesTheOldArchiveAndNoTemporaryFile) {
  const fs::path archive = Save() / "docs.lzh";
  // Data that does not compress, so that the archive takes many writes.
  std::string noise(3 << 20, '\0');
  uint64_t state = 0x9E3779B97F4A7C15ULL;
  for (char& c : noise) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    c = static_cast<char>(state >> 56);
  }
  layer::WriteBytes(Docs() / "c.bin", noise);
  ASSERT_EQ(Add(Line(archive)).result, 0);
  const size_t faults = layer::ExpectFaultsLeaveFileWhole(
      archive, [&] { return Add(Line(archive)).result == 0; }, 24);
  EXPECT_GE(faults, 10u);
}

TEST_F(LhaSafety, TheTemporaryArchiveIsPrivateFromTheMomentItExists) {
  const fs::path archive = Save() / "private.lzh";
  ASSERT_EQ(Add(Line(archive)).result, 0);
  fs::permissions(archive, fs::perms(0600));
  std::vector<mode_t> created;
  {
    FaultInjector seam;
    seam.OnCreate([&](const std::string&, mode_t mode) { created.push_back(mode); });
    ASSERT_EQ(Add(Line(archive)).result, 0);
  }
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0] & 077, 0u);
  struct stat info;
  ASSERT_EQ(stat(archive.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
}

// A member as an old archive may hold it: stored data under any name.
std::vector<uint8_t> StoredMember(const std::string& path, const std::string& data) {
  MemberHeader h;
  h.path = path;
  h.mode = 0100644;
  h.originalSize = h.packedSize = data.size();
  h.crc = Crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size());
  std::vector<uint8_t> member = EncodeHeader(h);
  member.insert(member.end(), data.begin(), data.end());
  return member;
}

TEST_F(LhaSafety, AnUpdateDropsAbsoluteAndParentNamesOfTheOldArchiveAndSaysSo) {
  const fs::path archive = Save() / "hostile.lzh";
  std::vector<uint8_t> bytes;
  for (const auto& [name, data] : std::vector<std::pair<std::string, std::string>>{
           {"../../evil.txt", "up"}, {"/etc/evil.txt", "root"}, {"Keep/kept.txt", "kept"}}) {
    const std::vector<uint8_t> member = StoredMember(name, data);
    bytes.insert(bytes.end(), member.begin(), member.end());
  }
  bytes.push_back(0);
  layer::WriteBytes(archive, std::string(bytes.begin(), bytes.end()));

  const Outcome o = Add(Line(archive));
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(o.message,
            "added 4 and kept 1 members and dropped 2 unsafe names: " + archive.string());
  if (!layer::Installed("lhasa") || !layer::Installed("bsdtar"))
    GTEST_SKIP() << "lhasa or bsdtar not installed";
  const std::string listing = layer::Output("bsdtar -tf '" + archive.string() + "'");
  EXPECT_EQ(listing, "Docs/\nDocs/a.txt\nDocs/sub/\nDocs/sub/b.txt\nKeep/kept.txt\n");
  const std::string test = layer::Output("lhasa t '" + archive.string() + "'");
  EXPECT_EQ(test.find("evil"), std::string::npos) << test;
  EXPECT_NE(test.find("kept.txt"), std::string::npos) << test;
}

}  // namespace
}  // namespace lha
