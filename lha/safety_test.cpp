// What an LHA update must never do, whatever the save folder holds and
// whatever the disk does: block on a FIFO, leave a temporary file or a
// damaged archive behind, let another user read the archive while it is
// written, or carry an entry that would extract outside its folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archlib/entry.h"
#include "lha/add.h"
#include "lha/command.h"
#include "lha/crc16.h"
#include "lha/header.h"
#include "platform/posix/fault_injection.h"
#include "platform/posix/testing.h"

namespace fs = std::filesystem;

namespace lha {
namespace {

using platform::posix::FaultInjector;
using platform::posix::testing::ReadBytes;
using platform::posix::testing::TemporaryFiles;
using platform::posix::testing::WriteBytes;

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

bool Installed(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Output(const std::string& command) {
  std::string text;
  FILE* p = popen(("LC_ALL=C.UTF-8 " + command + " 2>&1").c_str(), "r");
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, p)) text.append(buffer, n);
  pclose(p);
  return text;
}

// Runs the command in a child, which a FIFO would block forever: the
// outcome, or result -1 when it had not finished well after it should have.
Outcome AddWithoutBlocking(const std::string& line) {
  int channel[2];
  if (pipe(channel) != 0) return {-1, "pipe"};
  const pid_t child = fork();
  if (child == 0) {
    const Outcome o = Add(line);
    const std::string report = std::to_string(o.result) + " " + o.message;
    _exit(write(channel[1], report.data(), report.size()) < 0);
  }
  close(channel[1]);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      close(channel[0]);
      return {-1, "blocked"};
    }
    usleep(10000);
  }
  char report[600] = {};
  const ssize_t n = read(channel[0], report, sizeof report - 1);
  close(channel[0]);
  if (n <= 0) return {-1, "no report"};
  const std::string text(report, static_cast<size_t>(n));
  const size_t space = text.find(' ');
  return {std::stoi(text.substr(0, space)), text.substr(space + 1)};
}

class LhaSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Save());
    fs::create_directories(Docs() / "sub");
    WriteBytes(Docs() / "a.txt", std::string(70000, 'a'));
    WriteBytes(Docs() / "sub" / "b.txt", "bravo");
  }
  fs::path Save() const { return folder_.path() / "save"; }
  fs::path Docs() const { return folder_.path() / "Docs"; }
  std::string Line(const fs::path& archive) const {
    return "a -r2 -x1 \"" + archive.string() + "\" \"" + Docs().string() + "\"";
  }
  platform::posix::testing::ScratchFolder folder_;
};

TEST_F(LhaSafety, AFifoAtTheArchivesNameFailsAtOnceLeavingNothing) {
  const fs::path archive = Save() / "docs_20260101220000.lzh";
  ASSERT_EQ(mkfifo(archive.c_str(), 0600), 0);
  const Outcome o = AddWithoutBlocking(Line(archive));
  EXPECT_NE(o.result, 0);
  EXPECT_NE(o.result, -1) << "the call blocked on the FIFO";
  EXPECT_EQ(o.message, "cannot read " + archive.string() + ": it is a FIFO, not a regular file");
  EXPECT_EQ(platform::posix::testing::Names(Save()), std::vector<std::string>{archive.filename()});
}

TEST_F(LhaSafety, AFileSwappedForAFifoAfterTheWalkFailsAtOnceLeavingNothing) {
  const fs::path archive = Save() / "docs.lzh";
  ASSERT_EQ(Add(Line(archive)).result, 0);
  const std::string before = ReadBytes(archive);
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
  EXPECT_EQ(ReadBytes(archive), before);
  EXPECT_TRUE(TemporaryFiles(Save()).empty());
}

TEST_F(LhaSafety, EveryWriteFlushOrRenameFailureLeavesTheOldArchiveAndNoTemporaryFile) {
  const fs::path archive = Save() / "docs.lzh";
  WriteBytes(Docs() / "c.bin", std::string(600000, 'c'));
  ASSERT_EQ(Add(Line(archive)).result, 0);
  const std::string before = ReadBytes(archive);
  const size_t faults = platform::posix::testing::SweepFaults(
      [&] { WriteBytes(archive, before); }, [&] { return Add(Line(archive)).result == 0; },
      [&](const std::string& fault, bool failed) {
        EXPECT_TRUE(failed) << fault << " was reported as success";
        EXPECT_EQ(ReadBytes(archive), before) << fault;
        EXPECT_TRUE(TemporaryFiles(Save()).empty()) << fault;
      },
      24);
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
  WriteBytes(archive, std::string(bytes.begin(), bytes.end()));

  const Outcome o = Add(Line(archive));
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(o.message,
            "added 4 and kept 1 members and dropped 2 unsafe names: " + archive.string());
  if (!Installed("lhasa") || !Installed("bsdtar")) GTEST_SKIP() << "lhasa or bsdtar not installed";
  const std::string listing = Output("bsdtar -tf '" + archive.string() + "'");
  EXPECT_EQ(listing, "Docs/\nDocs/a.txt\nDocs/sub/\nDocs/sub/b.txt\nKeep/kept.txt\n");
  const std::string test = Output("lhasa t '" + archive.string() + "'");
  EXPECT_EQ(test.find("evil"), std::string::npos) << test;
  EXPECT_NE(test.find("kept.txt"), std::string::npos) << test;
}

}  // namespace
}  // namespace lha
