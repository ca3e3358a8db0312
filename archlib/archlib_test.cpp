#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "archlib/command_line.h"
#include "archlib/entry.h"
#include "archlib/tree_walk.h"
#include "archlib/unsafe_name.h"
#include "testing/support.h"

namespace fs = std::filesystem;
using archlib::Failure;

TEST(SplitCommandLine, QuotesGroupBlanksAndAreRemoved) {
  auto t = archlib::SplitCommandLine("a  -r2 -x1 \"/save dir/x y.lzh\" \"/my docs\"");
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[0], "a");
  EXPECT_EQ(t[3], "/save dir/x y.lzh");
  EXPECT_EQ(t[4], "/my docs");
  std::vector<bool> quoted;
  EXPECT_EQ(archlib::SplitCommandLine("a \"\" x \"-y\" -z", &quoted).size(), 5u);
  EXPECT_EQ(quoted, (std::vector<bool>{false, true, false, true, false}));
  EXPECT_TRUE(archlib::SplitCommandLine("   ").empty());
  EXPECT_THROW(archlib::SplitCommandLine("a \"open"), Failure);
}

TEST(WriteOutput, NeverWritesPastTheAreaAndAlwaysTerminates) {
  char area[8];
  std::memset(area, 'X', sizeof area);
  archlib::WriteOutput(area, 4, "abcdefgh");
  EXPECT_STREQ(area, "abc");
  EXPECT_EQ(area[4], 'X');
  archlib::WriteOutput(area, sizeof area, "one\nline two");
  EXPECT_STREQ(area, "one");
  archlib::WriteOutput(nullptr, 10, "ignored");
  archlib::WriteOutput(area, 0, "ignored");
  EXPECT_STREQ(area, "one");
}

TEST(RunCommand, MapsOutcomesToResultAndMessage) {
  char area[64];
  EXPECT_EQ(archlib::RunCommand(area, sizeof area, [] { return std::string("done"); }), 0);
  EXPECT_STREQ(area, "done");
  EXPECT_NE(archlib::RunCommand(area, sizeof area,
                                []() -> std::string { throw Failure("no such folder"); }),
            0);
  EXPECT_STREQ(area, "no such folder");
  EXPECT_NE(archlib::RunCommand(area, sizeof area, []() -> std::string { throw 42; }), 0);
}

class TempFolder : public ::testing::Test {
 protected:
  test_support::ScratchFolder root_;
};

using WalkTarget = TempFolder;

TEST_F(WalkTarget, StoresTheFolderUnderItsOwnNameParentsFirstLinksNotFollowed) {
  test_support::WriteBytes(root_ / "Docs" / "b.txt", "b");
  test_support::WriteBytes(root_ / "Docs" / "a" / "x.txt", "x");
  fs::create_directories(root_ / "Docs" / "empty");
  fs::create_directory_symlink(root_, root_ / "Docs" / "loop");
  std::vector<std::string> seen;
  archlib::WalkTarget((root_ / "Docs").string() + "/", [&](const archlib::TreeEntry& e) {
    seen.push_back(e.archivePath + (e.kind == archlib::TreeEntry::Kind::kSymlink ? "@" : ""));
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"Docs", "Docs/a", "Docs/a/x.txt", "Docs/b.txt",
                                            "Docs/empty", "Docs/loop@"}));
}

TEST_F(WalkTarget, ALinkedTargetFolderIsFollowedUnderTheLinksName) {
  test_support::WriteBytes(root_ / "real" / "a.txt", "a");
  fs::create_directory_symlink(root_ / "real", root_ / "Documents");
  std::vector<std::string> seen;
  archlib::WalkTarget((root_ / "Documents").string(), [&](const archlib::TreeEntry& e) {
    seen.push_back(e.archivePath + (e.kind == archlib::TreeEntry::Kind::kDirectory ? "/" : ""));
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"Documents/", "Documents/a.txt"}));
}

TEST_F(WalkTarget, FifosInsideAreSkippedButAFifoTargetFails) {
  test_support::WriteBytes(root_ / "Docs" / "a.txt", "a");
  ASSERT_EQ(mkfifo((root_ / "Docs" / "pipe").c_str(), 0600), 0);
  std::vector<std::string> seen;
  archlib::WalkTarget((root_ / "Docs").string(),
                      [&](const archlib::TreeEntry& e) { seen.push_back(e.archivePath); });
  EXPECT_EQ(seen, (std::vector<std::string>{"Docs", "Docs/a.txt"}));
  EXPECT_THROW(
      archlib::WalkTarget((root_ / "Docs" / "pipe").string(), [](const archlib::TreeEntry&) {}),
      Failure);
}

TEST_F(WalkTarget, MissingTargetFailsNamingThePath) {
  try {
    archlib::WalkTarget((root_ / "absent").string(), [](const archlib::TreeEntry&) {});
    FAIL();
  } catch (const Failure& e) {
    EXPECT_NE(std::string(e.what()).find("absent"), std::string::npos);
  }
}

TEST_F(WalkTarget, AWatchedWalkTellsWhatItPassesOverOrCannotReadInsteadOfThrowing) {
  test_support::WriteBytes(root_ / "Docs" / "a.txt", "a");
  ASSERT_EQ(mkfifo((root_ / "Docs" / "pipe").c_str(), 0600), 0);
  std::vector<std::string> passed, failures, seen;
  archlib::WalkWatch watch;
  watch.passedOver = [&](const std::string& path, platform::FileKind kind) {
    if (kind == platform::FileKind::kFifo) passed.push_back(path);
  };
  watch.cannotRead = [&](const Failure& failure) { failures.push_back(failure.what()); };
  const auto visit = [&](const archlib::TreeEntry& e) { seen.push_back(e.archivePath); };
  archlib::WalkTarget((root_ / "Docs").string(), visit, watch);
  EXPECT_EQ(passed, std::vector<std::string>{(root_ / "Docs" / "pipe").string()});
  EXPECT_EQ(seen, (std::vector<std::string>{"Docs", "Docs/a.txt"}));
  EXPECT_TRUE(failures.empty());

  archlib::WalkTarget((root_ / "absent").string(), visit, watch);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("absent"), std::string::npos) << failures[0];
  // What the visitor throws still ends the walk.
  EXPECT_THROW(archlib::WalkTarget((root_ / "Docs").string(),
                                   [](const archlib::TreeEntry&) { throw Failure("stop"); }, watch),
               Failure);
}

TEST(IsUnsafeName, AbsoluteNamesAndParentComponentsAreUnsafeInEitherSeparator) {
  for (const char* name : {"/etc/evil.txt", "\\server\\share", "../../evil.txt", "a/../../b", "..",
                           "../", "a/..", "a\\..\\..\\evil", "C:evil", "c:/evil"}) {
    EXPECT_TRUE(archlib::IsUnsafeName(name)) << name;
  }
  for (const char* name : {"Docs/a.txt", "Docs/", "..hidden", "a..b/c", "x/...", "./a", "ab:c",
                           "\xE8\xA1\xA8..x", ""}) {
    EXPECT_FALSE(archlib::IsUnsafeName(name)) << name;
  }
}

TEST(DroppedNote, SaysHowManyWereLeftOutAndNothingForNone) {
  EXPECT_EQ(archlib::DroppedNote(0), "");
  EXPECT_EQ(archlib::DroppedNote(1), " and dropped 1 unsafe name");
  EXPECT_EQ(archlib::DroppedNote(2), " and dropped 2 unsafe names");
}
