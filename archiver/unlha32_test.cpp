#include "archiver/unlha32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/library.h"
#include "platform/program.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

const std::string kSep(1, platform::kPathSeparator);

TEST(LhaCommandLine, QuotesArchivePathAndTargetAfterTheTwoSwitches) {
  EXPECT_EQ(Unlha32::LhaCommandLine("C:\\Save", "Docs_20240101.lzh", "C:\\Docs"),
            "a  -r2 -x1 \"C:\\Save" + kSep + "Docs_20240101.lzh\" \"C:\\Docs\"");
  // Blanks in every piece stay inside their quotes.
  EXPECT_EQ(Unlha32::LhaCommandLine("/my save", "a b.lzh", "/my docs/x y"),
            "a  -r2 -x1 \"/my save" + kSep + "a b.lzh\" \"/my docs/x y\"");
}

TEST(ZipCommandLine, QuotesArchivePathAndTarget) {
  EXPECT_EQ(Unlha32::ZipCommandLine("/save", "Docs.zip", "/home/u/Docs"),
            "a \"/save" + kSep + "Docs.zip\" \"/home/u/Docs\"");
  EXPECT_EQ(Unlha32::ZipCommandLine("/my save", "a b.zip", "/my docs"),
            "a \"/my save" + kSep + "a b.zip\" \"/my docs\"");
}

TEST(CommandLines, EmptySaveFolderStartsTheArchivePathWithTheSeparator) {
  EXPECT_EQ(Unlha32::LhaCommandLine("", "x.lzh", "t"), "a  -r2 -x1 \"" + kSep + "x.lzh\" \"t\"");
  EXPECT_EQ(Unlha32::ZipCommandLine("", "x.zip", "t"), "a \"" + kSep + "x.zip\" \"t\"");
}

TEST(CommandLines, JapaneseNamesPassThroughUnchanged) {
  const std::string save = "/保存先", name = "書類_2024.zip", target = "/ホーム/デスクトップ";
  EXPECT_EQ(Unlha32::ZipCommandLine(save, name, target),
            "a \"" + save + kSep + name + "\" \"" + target + "\"");
  EXPECT_EQ(Unlha32::LhaCommandLine(save, "書類.lzh", target),
            "a  -r2 -x1 \"" + save + kSep + "書類.lzh\" \"" + target + "\"");
}

// The fake archiver library lies beside this test under both libraries'
// names; it logs each command line it gets and returns FAKE_ARCHIVER_RESULT.
class Runners : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironment("FAKE_ARCHIVER_LOG", log_.string());
    SetEnvironment("FAKE_ARCHIVER_RESULT", "0");
  }
  void TearDown() override { SetEnvironment("FAKE_ARCHIVER_LOG", ""); }

  // putenv keeps the pointer it is given, so every string lives on here.
  static void SetEnvironment(const std::string& name, const std::string& value) {
    static std::map<std::string, std::string> storage;
    std::string& entry = storage[name];
    entry = name + "=" + value;
    putenv(entry.data());
  }

  std::string Received() { return test_support::ReadBytes(log_); }

  test_support::ScratchFolder folder_;
  fs::path log_ = folder_ / "calls.log";
};

TEST_F(Runners, ZeroResultIsSuccessAndTheLibraryGetsTheLineUnchanged) {
  Unlha32::Archivers archivers;
  const std::string zip = Unlha32::ZipCommandLine("/my save", "書類.zip", "/my docs");
  const std::string lha = Unlha32::LhaCommandLine("/s", "x.lzh", "/t");
  EXPECT_TRUE(archivers.RunSevenZip(0, zip).succeeded);
  EXPECT_TRUE(archivers.RunUnlha(0, lha).succeeded);
  EXPECT_TRUE(archivers.RunSevenZip(0, zip).succeeded);
  // The library gets the line in the system's code page (CP932 on Japanese Windows).
  const std::string zipBytes = platform::ToMultiByte(zip), lhaBytes = platform::ToMultiByte(lha);
  EXPECT_EQ(Received(), zipBytes + "\n" + lhaBytes + "\n" + zipBytes + "\n");
}

TEST_F(Runners, AnyNonZeroResultIsFailure) {
  Unlha32::Archivers archivers;
  for (const char* result : {"1", "-1", "32768"}) {
    SetEnvironment("FAKE_ARCHIVER_RESULT", result);
    EXPECT_FALSE(archivers.RunUnlha(0, "a").succeeded) << result;
    EXPECT_FALSE(archivers.RunSevenZip(0, "a").succeeded) << result;
  }
}

TEST(DynamicLibrary, MissingLibraryOrEntryPointRaisesNamingTheLibraryAndTheReason) {
  try {
    platform::DynamicLibrary missing("no-such-archiver");
    FAIL() << "loaded a library that does not exist";
  } catch (const platform::Error& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("no-such-archiver"), std::string::npos) << what;
    // The loader's reason follows the name.
    EXPECT_GT(what.size(), what.find("no-such-archiver") + 20) << what;
  }
  platform::DynamicLibrary library("Unlha32");
  try {
    library.Symbol("NoSuchEntryPoint");
    FAIL() << "found an entry point that does not exist";
  } catch (const platform::Error& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("NoSuchEntryPoint"), std::string::npos) << what;
    EXPECT_NE(what.find(library.FileName()), std::string::npos) << what;
  }
}

}  // namespace
