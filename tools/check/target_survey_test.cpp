// The survey of a target folder against what the archiver libraries do with
// it: what they store, pass over and cannot read, and a walk cut short by
// its deadline. Unreadable entries are made for an ordinary user.
#include "tools/check/target_survey.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>

#include "testing/processes.h"
#include "testing/support.h"

namespace fs = std::filesystem;
using test_support::ScratchFolder;
using test_support::WriteBytes;

namespace {

constexpr auto kLater = std::chrono::hours(1);

check::TargetSurvey Survey(const fs::path& target) {
  return check::SurveyTarget(target.string(), std::chrono::steady_clock::now() + kLater);
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST(TargetSurvey, CountsWhatTheLibrariesStoreAndFollowsOnlyALinkedTarget) {
  ScratchFolder scratch;
  const fs::path target = scratch.path() / "Docs";
  fs::create_directories(target);
  WriteBytes(target / "a.txt", "12345");
  fs::create_directories(target / "sub");
  WriteBytes(target / "sub" / "b.bin", std::string(1000, 'b'));
  fs::create_directories(scratch.path() / "elsewhere");
  WriteBytes(scratch.path() / "elsewhere" / "big", std::string(5000, 'x'));
  fs::create_directory_symlink(scratch.path() / "elsewhere", target / "link");

  const check::TargetSurvey survey = Survey(target);
  EXPECT_TRUE(survey.complete);
  EXPECT_EQ(survey.files, 2u);
  EXPECT_EQ(survey.bytes, 1005u) << "a link below the target is stored as a link";
  EXPECT_EQ(survey.folders, 2u);
  EXPECT_EQ(survey.links, 1u);
  EXPECT_EQ(survey.unreadableCount, 0u);

  fs::create_directory_symlink(target, scratch.path() / "Linked");
  EXPECT_EQ(Survey(scratch.path() / "Linked").bytes, 1005u) << "a linked target is followed";
}

TEST(TargetSurvey, NamesFilesTooLargeForLha) {
  ScratchFolder scratch;
  const fs::path target = scratch.path() / "Big";
  WriteBytes(target / "small.txt", "small");
  WriteBytes(target / "limit.img", "");
  fs::resize_file(target / "limit.img", 0xFFFFFFFFull);  // sparse: no disk taken
  WriteBytes(target / "disk.img", "");
  fs::resize_file(target / "disk.img", 5ull << 30);
  const check::TargetSurvey survey = Survey(target);
  EXPECT_EQ(survey.files, 3u);
  EXPECT_EQ(survey.tooLargeForLhaCount, 1u);
  ASSERT_EQ(survey.tooLargeForLha.size(), 1u);
  EXPECT_EQ(survey.tooLargeForLha[0], (target / "disk.img").string() + " (5368709120 bytes)");
}

TEST(TargetSurvey, NamesTheFifosAndSocketsTheLibrariesPassOver) {
  ScratchFolder scratch;
  const fs::path target = scratch.path() / "Docs";
  fs::create_directories(target);
  WriteBytes(target / "a.txt", "a");
  ASSERT_EQ(mkfifo((target / "pipe").c_str(), 0600), 0);
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (target / "daemon.sock").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(sock);

  const check::TargetSurvey survey = Survey(target);
  EXPECT_EQ(survey.files, 1u);
  EXPECT_EQ(survey.passedOverCount, 2u);
  const std::string passed = Joined(survey.passedOver);
  EXPECT_NE(passed.find((target / "pipe").string() + " (a FIFO)"), std::string::npos) << passed;
  EXPECT_NE(passed.find(socketPath + " (a socket)"), std::string::npos) << passed;
  EXPECT_EQ(survey.unreadableCount, 0u) << "passing over is not failing";
}

TEST(TargetSurvey, FindsEveryEntryAnOrdinaryUserCannotReadAndGoesOn) {
  ScratchFolder scratch;
  fs::permissions(scratch.path(),
                  fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  const fs::path target = scratch.path() / "Docs";
  fs::create_directories(target);
  WriteBytes(target / "a.txt", "readable");
  WriteBytes(target / "secret.txt", "private");
  fs::permissions(target / "secret.txt", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directories(target / "locked");
  WriteBytes(target / "locked" / "inside.txt", "x");
  fs::permissions(target / "locked", fs::perms::owner_all);
  WriteBytes(target / "z.txt", "last");
  for (const fs::path& p : {target, target / "a.txt", target / "z.txt"}) {
    fs::permissions(p, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  }
  if (geteuid() != 0) {
    chmod((target / "secret.txt").c_str(), 0);
    chmod((target / "locked").c_str(), 0);
  }

  const std::string seen = test_support::InChildAsAnotherUser([&] {
    const check::TargetSurvey survey = Survey(target);
    return std::to_string(survey.unreadableCount) + " " + std::to_string(survey.files) + "\n" +
           Joined(survey.unreadable);
  });
  if (geteuid() != 0) chmod((target / "locked").c_str(), 0700);
  EXPECT_EQ(seen.substr(0, seen.find('\n')), "2 2") << seen;
  EXPECT_NE(seen.find("cannot read " + (target / "secret.txt").string() + ": Permission denied"),
            std::string::npos)
      << seen;
  EXPECT_NE(seen.find((target / "locked").string() + ": Permission denied"), std::string::npos)
      << seen;
}

TEST(TargetSurvey, ADeadlineCutsTheWalkShortAndSaysSo) {
  ScratchFolder scratch;
  fs::create_directories(scratch.path() / "Docs");
  for (int i = 0; i < 50; ++i) WriteBytes(scratch.path() / "Docs" / std::to_string(i), "x");
  const check::TargetSurvey cut =
      check::SurveyTarget((scratch.path() / "Docs").string(), std::chrono::steady_clock::now());
  EXPECT_FALSE(cut.complete);
  EXPECT_LT(cut.files, 50u);
  EXPECT_EQ(Survey(scratch.path() / "Docs").files, 50u);
}

TEST(TargetSurvey, KeepsAFewExamplesButCountsThemAll) {
  ScratchFolder scratch;
  for (int i = 0; i < 12; ++i) {
    ASSERT_EQ(mkfifo((scratch.path() / ("p" + std::to_string(i))).c_str(), 0600), 0);
  }
  const check::TargetSurvey survey = Survey(scratch.path());
  EXPECT_EQ(survey.passedOverCount, 12u);
  EXPECT_EQ(survey.passedOver.size(), check::kSurveyExamples);
}

}  // namespace
