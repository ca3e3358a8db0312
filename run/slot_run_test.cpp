// The slots of a run executed through an in-process stand-in for the
// archiver libraries: which slots run, in which order, with which command
// lines, what a failure is recorded as, what ends the run, and the target's
// attributes around the call. Real folders; no library is loaded.
#include "run/slot_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "archiver/fake_archiver_runner.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/program.h"
#include "run/app_module.h"
#include "run/program_files.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

using namespace AppModule;
using test_support::Names;
using test_support::PathOf;
using test_support::ReadBytes;
using test_support::ScratchFolder;
using test_support::SectionLines;
using test_support::Utf8Of;
using test_support::WriteBytes;
using Unlha32::FakeArchiverRunner;
using Unlha32::Library;
using Unlha32::Result;

const platform::LocalTime kNow{2026, 12, 7, 22, 0, 5};
const std::string kStamp = "20261207220005";
const std::string kSep(1, platform::kPathSeparator);
// A flag that clearing a folder's attributes takes away and restoring gives
// back: read-only where it stands for the owner's write permission (POSIX),
// hidden on Windows, whose read-only flag on a folder Wine does not keep.
const int16_t kMark = platform::kPathSeparator == '\\' ? 0x2 : 0x1;

// The archive a command line names: its first quoted path.
std::string ArchiveOf(const std::string& commandLine) {
  const size_t open = commandLine.find('"');
  return commandLine.substr(open + 1, commandLine.find('"', open + 1) - open - 1);
}

class SlotRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "data");
    fs::create_directories(root_ / "save");
    report_.settingsFile = Utf8Of(root_ / "slotbackup.ini");
    report_.logFile = Utf8Of(root_ / "slotbackup.log");
    report_.standardError = std::fopen((root_ / "stderr.txt").string().c_str(), "w+b");
    recovery_ = Utf8Of(root_ / "slotbackup.recovery");
  }
  void TearDown() override {
    if (report_.standardError != nullptr) std::fclose(report_.standardError);
  }

  // A target folder holding one file.
  std::string Target(const std::string& name) {
    const fs::path folder = root_ / "data" / PathOf(name);
    fs::create_directories(folder);
    WriteBytes(folder / "file.txt", "contents of " + name);
    return Utf8Of(folder);
  }
  std::string Save() const { return Utf8Of(root_ / "save"); }
  fs::path Saved(const std::string& name) const { return root_ / "save" / PathOf(name); }

  // A settings file whose "@" stands for the test's folder, in the system's
  // code page as the run reads it.
  void Settings(std::string text) {
    for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at)) {
      text.replace(at, 1, Utf8Of(root_));
    }
    WriteBytes(root_ / "slotbackup.ini", platform::ToMultiByte(text));
  }
  std::string SaveSection(const std::string& type) const {
    return "[BackUP_Save]\nSavePath=" + Save() + "\nArchiveType=" + type + "\n";
  }

  // The fake then writes the archive it is handed, as a library does.
  void WriteArchives() {
    fake_.respond = [](const FakeArchiverRunner::Call& call) {
      WriteBytes(PathOf(ArchiveOf(call.commandLine)), "archive: " + call.commandLine);
      return Result{true, "written"};
    };
  }

  int Run() {
    clsIniFile settings;
    settings.FileName(report_.settingsFile);
    SlotRun run(settings, report_, recovery_, fake_, clock_);
    return run.RunSlots();
  }
  std::string RunError() {
    try {
      Run();
    } catch (const platform::Error& e) {
      return e.what();
    }
    return "";
  }

  std::vector<std::string> ErrorLog() const {
    return SectionLines(PathOf(report_.settingsFile), kErrorLogSection);
  }
  std::vector<std::string> Messages() const {
    return SectionLines(PathOf(report_.logFile), kArchiverMessageSection);
  }
  static bool Marked(const std::string& folder) {
    return (FolderAttributes(folder, -1) & kMark) != 0;
  }
  static void Mark(const std::string& folder) {
    FolderAttributes(folder, static_cast<int16_t>(FolderAttributes(folder, -1) | kMark));
  }

  ScratchFolder root_;
  ReportFiles report_;
  std::string recovery_;
  FakeArchiverRunner fake_;
  SlotRun::Clock clock_ = [] { return kNow; };
};

// ------------------------------------------------------------ which slots run

TEST_F(SlotRunTest, SlotsAreExactlyFourDigitKeysRunInOrderWithExactCommandLines) {
  const std::string a = Target("a"), b = Target("b b"), c = Target("c");
  Settings(SaveSection("lha") + "[BackUP_Target]\n7=" + c + "\n0100=" + c + "\n0099=" + b +
           "\n0007=" + a + "\n0010=" + c + "\n[BackUP_Name]\n0007=a.lzh\n0099=b %d.lzh\n");
  EXPECT_EQ(Run(), kRunSucceeded);
  EXPECT_EQ(
      fake_.CommandLines(),
      (std::vector<std::string>{"a  -r2 -x1 \"" + Save() + kSep + "a.lzh\" \"" + a + "\"",
                                "a  -r2 -x1 \"" + Save() + kSep + "b %d.lzh\" \"" + b + "\""}));
  EXPECT_EQ(fake_.calls[0].library, Library::kUnlha);

  fake_.calls.clear();
  Settings(SaveSection("Zip") + "[BackUP_Target]\n0000=" + a + "\n[BackUP_Name]\n0000=a.zip\n");
  EXPECT_EQ(Run(), kRunSucceeded);
  ASSERT_EQ(fake_.calls.size(), 1u);
  EXPECT_EQ(fake_.calls[0].library, Library::kSevenZip);
  EXPECT_EQ(fake_.calls[0].commandLine, "a \"" + Save() + kSep + "a.zip\" \"" + a + "\"");
}

TEST_F(SlotRunTest, SlotsWithoutTargetOrNameAreSkippedAndLeftUntouched) {
  const std::string t = Target("t");
  Mark(t);
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0001=" + t + "\n0003=\n" +
           "[BackUP_Name]\n0002=n.zip\n0003=n.zip\n[BackUP_ConstantName]\n0001=c.zip\n");
  EXPECT_EQ(Run(), kRunSucceeded);
  EXPECT_TRUE(fake_.calls.empty());
  EXPECT_TRUE(Marked(t));
  EXPECT_TRUE(ErrorLog().empty());
  EXPECT_FALSE(fs::exists(PathOf(report_.logFile)));
}

TEST_F(SlotRunTest, TypesOtherThanLhaOrZipRunNoArchiverAndLeaveTheTargetAsItWas) {
  const std::string t = Target("t");
  Mark(t);
  // A blank kept inside quotes is not trimmed away.
  for (const std::string& type : {std::string("\" LHA\""), std::string("TAR"), std::string()}) {
    Settings(SaveSection(type) + "[BackUP_Target]\n0001=" + t + "\n[BackUP_Name]\n0001=t.lzh\n");
    EXPECT_EQ(Run(), kRunSucceeded) << type;
  }
  EXPECT_TRUE(fake_.calls.empty());
  EXPECT_TRUE(Marked(t));
}

// ------------------------------------------------------------------ names

TEST_F(SlotRunTest, OnlyTheFirstUpperCaseStampTokenIsExpanded) {
  const std::string t = Target("t");
  const std::vector<std::string> templates = {"pre-%D-post.zip", "%D", "x%D%D.zip", "plain.zip",
                                              "low %d.zip"};
  std::string targets = "[BackUP_Target]\n", names = "[BackUP_Name]\n";
  for (size_t i = 0; i < templates.size(); ++i) {
    targets += SlotKey(static_cast<int32_t>(i)) + "=" + t + "\n";
    names += SlotKey(static_cast<int32_t>(i)) + "=" + templates[i] + "\n";
  }
  Settings(SaveSection("ZIP") + targets + names);
  EXPECT_EQ(Run(), kRunSucceeded);
  std::vector<std::string> archives;
  for (const auto& call : fake_.calls) archives.push_back(ArchiveOf(call.commandLine));
  const std::string s = Save() + kSep;
  EXPECT_EQ(archives, (std::vector<std::string>{s + "pre-" + kStamp + "-post.zip", s + kStamp,
                                                s + "x" + kStamp + "%D.zip", s + "plain.zip",
                                                s + "low %d.zip"}));
}

TEST_F(SlotRunTest, EachSlotTakesItsStampWhenItRuns) {
  const std::string t = Target("t");
  int second = 0;
  clock_ = [&second] { return platform::LocalTime{2026, 12, 7, 22, 0, second++}; };
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + t + "\n0001=" + t +
           "\n[BackUP_Name]\n0000=%D.zip\n0001=%D.zip\n");
  EXPECT_EQ(Run(), kRunSucceeded);
  ASSERT_EQ(fake_.calls.size(), 2u);
  EXPECT_NE(fake_.calls[0].commandLine, fake_.calls[1].commandLine);
}

// ------------------------------------------------------------ fixed names

TEST_F(SlotRunTest, AFixedNameGetsACopyOfTheNewArchive) {
  const std::string t = Target("仕事");
  WriteArchives();
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0000=" + t +
           "\n[BackUP_Name]\n0000=仕事_%D.lzh\n[BackUP_ConstantName]\n0000=最新.lzh\n");
  EXPECT_EQ(Run(), kRunSucceeded);
  EXPECT_EQ(ReadBytes(Saved("最新.lzh")), ReadBytes(Saved("仕事_" + kStamp + ".lzh")));
  EXPECT_NE(ReadBytes(Saved("最新.lzh")), "");
}

TEST_F(SlotRunTest, WithoutArchiverAFixedNameIsRefreshedFromTheArchiveAlreadyThere) {
  const std::string t = Target("t");
  WriteBytes(Saved("same.zip"), "archive of an earlier run");
  WriteBytes(Saved("latest.zip"), "older copy");
  Settings(SaveSection("NONE") + "[BackUP_Target]\n0001=" + t +
           "\n[BackUP_Name]\n0001=same.zip\n[BackUP_ConstantName]\n0001=latest.zip\n");
  EXPECT_EQ(Run(), kRunSucceeded);
  EXPECT_EQ(ReadBytes(Saved("latest.zip")), "archive of an earlier run");
}

TEST_F(SlotRunTest, WithoutArchiverAMissingSourceEndsTheRunAndKeepsTheOldCopy) {
  const std::string t = Target("t");
  WriteBytes(Saved("latest.zip"), "older copy");
  Settings(SaveSection("NONE") + "[BackUP_Target]\n0001=" + t + "\n0002=" + t +
           "\n[BackUP_Name]\n0001=new %D.zip\n0002=x.zip\n[BackUP_ConstantName]\n"
           "0001=latest.zip\n0002=other.zip\n");
  WriteBytes(Saved("x.zip"), "x");
  const std::string error = RunError();
  EXPECT_NE(error.find("new " + kStamp + ".zip"), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(Saved("latest.zip")), "older copy");
  EXPECT_FALSE(fs::exists(Saved("other.zip"))) << "the run ended at slot 0001";
}

TEST_F(SlotRunTest, AReadOnlyFixedNameIsKeptAndEndsTheRun) {
  const std::string t = Target("t");
  WriteArchives();
  WriteBytes(Saved("latest.zip"), "older copy");
  fs::permissions(Saved("latest.zip"), fs::perms::owner_read);
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0001=" + t +
           "\n[BackUP_Name]\n0001=same.zip\n[BackUP_ConstantName]\n0001=latest.zip\n");
  EXPECT_NE(RunError(), "");
  EXPECT_EQ(ReadBytes(Saved("latest.zip")), "older copy");
  fs::permissions(Saved("latest.zip"), fs::perms::owner_write, fs::perm_options::add);
}

// ---------------------------------------------------------------- failures

TEST_F(SlotRunTest, AFailedArchiverRunIsRecordedKeepsTheOldCopyAndTheRunGoesOn) {
  const std::string a = Target("a"), b = Target("b");
  fake_.respond = [&](const FakeArchiverRunner::Call& call) {
    if (call.commandLine.find(a) != std::string::npos) return Result{false, "disk full"};
    WriteBytes(PathOf(ArchiveOf(call.commandLine)), "new archive");
    return Result{true, "written"};
  };
  WriteBytes(Saved("latest.zip"), "previous copy");
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0001=" + a + "\n0002=" + b +
           "\n[BackUP_Name]\n0001=a.zip\n0002=b.zip\n[BackUP_ConstantName]\n0001=latest.zip\n"
           "0002=b latest.zip\n");
  EXPECT_EQ(Run(), kArchiverRunFailed);
  EXPECT_EQ(fake_.calls.size(), 2u);
  const std::string when = platform::DateTimeText(kNow);
  EXPECT_EQ(ErrorLog(), std::vector<std::string>{when + "=" + a});
  EXPECT_EQ(Messages(), std::vector<std::string>{when + "=Target:" + a + "\tMessage:disk full"});
  EXPECT_EQ(ReadBytes(Saved("latest.zip")), "previous copy");
  EXPECT_EQ(ReadBytes(Saved("b latest.zip")), "new archive");
}

TEST_F(SlotRunTest, ADoubleQuoteFailsTheSlotWithoutACallAndSaysWhere) {
  std::error_code error;
  fs::create_directories(root_ / "data" / "bad\" -x \"", error);
  if (error) GTEST_SKIP() << "no folder can hold a double quote here: " << error.message();
  const std::string bad = Target("bad\" -x \""), good = Target("good");
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0001=" + bad + "\n0002=" + good +
           "\n0003=" + good + "\n[BackUP_Name]\n0001=a.lzh\n0002=b\" -x.lzh\n0003=c.lzh\n");
  EXPECT_EQ(Run(), kArchiverRunFailed);
  ASSERT_EQ(fake_.calls.size(), 1u);
  EXPECT_NE(fake_.calls[0].commandLine.find(kSep + "c.lzh"), std::string::npos);
  const std::vector<std::string> messages = Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[0].find("a double quote in the target folder"), std::string::npos);
  EXPECT_NE(messages[1].find("a double quote in the archive name"), std::string::npos);
}

TEST_F(SlotRunTest, AMissingTargetEndsTheRunBeforeAnyLaterSlot) {
  const std::string first = Target("first"), later = Target("later");
  const std::string absent = Utf8Of(root_ / "data" / "absent");
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0000=" + first + "\n0001=" + absent +
           "\n0002=" + later + "\n[BackUP_Name]\n0000=f.lzh\n0001=a.lzh\n0002=b.lzh\n");
  EXPECT_EQ(RunError(), "Path not found: " + absent);
  ASSERT_EQ(fake_.calls.size(), 1u);
  EXPECT_NE(fake_.calls[0].commandLine.find(first), std::string::npos);
}

TEST_F(SlotRunTest, AFailureThatCannotBeWrittenToErrorLogMakesTheRunEndWithOne) {
  const std::string t = Target("t");
  fake_.respond = [](const FakeArchiverRunner::Call&) { return Result{false, "disk full"}; };
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + t + "\n[BackUP_Name]\n0000=t.zip\n");
  report_.settingsFile = Utf8Of(root_ / "gone" / "slotbackup.ini");
  clsIniFile settings;
  settings.FileName(Utf8Of(root_ / "slotbackup.ini"));
  SlotRun run(settings, report_, recovery_, fake_, clock_);
  EXPECT_EQ(run.RunSlots(), kRunEndedByError);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("\tNotInError_LOG:"), std::string::npos) << Messages()[0];
}

// -------------------------------------------------- the target's attributes

TEST_F(SlotRunTest, TheTargetIsClearedAndRecordedOnlyWhileTheArchiverRuns) {
  const std::string t = Target("t");
  Mark(t);
  bool clearedDuringCall = false;
  std::vector<std::string> recordDuringCall;
  fake_.respond = [&](const FakeArchiverRunner::Call&) {
    clearedDuringCall = !Marked(t);
    recordDuringCall = SectionLines(PathOf(recovery_), kClearedFolderSection);
    return Result{true, "written"};
  };
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0004=" + t + "\n[BackUP_Name]\n0004=t.zip\n");
  EXPECT_EQ(Run(), kRunSucceeded);
  EXPECT_TRUE(clearedDuringCall);
  ASSERT_EQ(recordDuringCall.size(), 1u);
  EXPECT_EQ(recordDuringCall[0].rfind("0004=", 0), 0u) << recordDuringCall[0];
  EXPECT_TRUE(Marked(t));
  EXPECT_TRUE(SectionLines(PathOf(recovery_), kClearedFolderSection).empty());
}

TEST_F(SlotRunTest, WhateverEndsTheRunDuringASlotTheTargetGetsItsAttributesBack) {
  const std::string t = Target("t");
  Mark(t);
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0000=" + t + "\n[BackUP_Name]\n0000=t.lzh\n");

  fake_.missing = {Library::kUnlha};
  const std::string missing = RunError();
  EXPECT_NE(missing.find("Cannot load Unlha32"), std::string::npos) << missing;
  EXPECT_TRUE(fake_.calls.empty());
  EXPECT_TRUE(Marked(t));
  EXPECT_TRUE(SectionLines(PathOf(recovery_), kClearedFolderSection).empty());

  fake_.missing.clear();
  fake_.respond = [](const FakeArchiverRunner::Call&) -> Result {
    throw platform::Error("Cannot start the archiver: out of processes");
  };
  EXPECT_EQ(RunError(), "Cannot start the archiver: out of processes");
  EXPECT_TRUE(Marked(t));
  EXPECT_TRUE(SectionLines(PathOf(recovery_), kClearedFolderSection).empty());
}

TEST_F(SlotRunTest, FoldersNameTheSaveFolderAndWhereNamesAndFixedNamesLead) {
  const std::string t = Target("t");
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + t + "\n0001=" + t +
           "\n[BackUP_Name]\n0000=a.zip\n0001=sub/b.zip\n[BackUP_ConstantName]\n"
           "0001=../elsewhere/latest.zip\n");
  clsIniFile settings;
  settings.FileName(report_.settingsFile);
  SlotRun run(settings, report_, recovery_, fake_, clock_);
  EXPECT_EQ(run.Folders(), (std::vector<std::string>{Save(), Save(), Save() + kSep + "sub",
                                                     Save() + kSep + "../elsewhere"}));
}

// ------------------------------------------------------------ old archives

TEST_F(SlotRunTest, RunsKeepingTwoLeaveTheTwoNewestArchivesTheCopyAndOtherFiles) {
  const std::string t = Target("t");
  WriteArchives();
  // Not the slot's: a 13-digit stamp, month 13, another slot's archive.
  for (const char* name :
       {"docs_2026120722000.lzh", "docs_20261307220000.lzh", "docs_old_20200101000000.lzh"}) {
    WriteBytes(Saved(name), "not ours");
  }
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0000=" + t +
           "\n[BackUP_Name]\n0000=docs_%D.lzh\n[BackUP_ConstantName]\n0000=docs.lzh\n"
           "[BackUP_Keep]\n0000=2\n");
  for (int day : {1, 2, 3}) {
    clock_ = [day] { return platform::LocalTime{2026, 12, day, 22, 0, 5}; };
    EXPECT_EQ(Run(), kRunSucceeded);
  }
  EXPECT_EQ(Names(root_ / "save"),
            (std::vector<std::string>{"docs.lzh", "docs_20261202220005.lzh",
                                      "docs_20261203220005.lzh", "docs_2026120722000.lzh",
                                      "docs_20261307220000.lzh", "docs_old_20200101000000.lzh"}));
  EXPECT_EQ(ReadBytes(Saved("docs.lzh")), ReadBytes(Saved("docs_20261203220005.lzh")));
  const std::vector<std::string> removed = SectionLines(PathOf(report_.logFile), kRetentionSection);
  ASSERT_EQ(removed.size(), 1u);
  const std::string gone = Save() + kSep + "docs_20261201220005.lzh";
  EXPECT_NE(removed[0].find(
                "=Removed:" + gone + "\tSlot:0000\tBytes:" +
                std::to_string(("archive: a  -r2 -x1 \"" + gone + "\" \"" + t + "\"").size())),
            std::string::npos)
      << removed[0];
  std::rewind(report_.standardError);
  EXPECT_EQ(std::fgetc(report_.standardError), EOF) << "a removal is not a failure";
}

TEST_F(SlotRunTest, AFailedSlotAndOneWithoutAValidKeepOrStampRemoveNothing) {
  const std::string failing = Target("failing"), t = Target("t");
  fake_.respond = [&](const FakeArchiverRunner::Call& call) {
    if (call.commandLine.find(failing) != std::string::npos) return Result{false, "disk full"};
    WriteBytes(PathOf(ArchiveOf(call.commandLine)), "new");
    return Result{true, "written"};
  };
  const std::vector<std::string> old = {"f_20200101000000.zip", "z_20200101000000.zip",
                                        "z_20200102000000.zip", "plain.zip"};
  for (const std::string& name : old) WriteBytes(Saved(name), "old");
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + failing + "\n0001=" + t + "\n0002=" + t +
           "\n[BackUP_Name]\n0000=f_%D.zip\n0001=z_%D.zip\n0002=plain.zip\n"
           "[BackUP_Keep]\n0000=1\n0001=0\n0002=1\n");
  EXPECT_EQ(Run(), kArchiverRunFailed);
  for (const std::string& name : old) EXPECT_TRUE(fs::exists(Saved(name))) << name;
  EXPECT_TRUE(SectionLines(PathOf(report_.logFile), kRetentionSection).empty());
}

TEST_F(SlotRunTest, OldArchivesStayWhenTheNewOneIsNotThere) {
  const std::string t = Target("t");
  // A library that reports success yet leaves no archive under the name.
  fake_.respond = [](const FakeArchiverRunner::Call&) { return Result{true, "written"}; };
  WriteBytes(Saved("a_20200101000000.zip"), "the only archive there is");
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + t +
           "\n[BackUP_Name]\n0000=a_%D.zip\n[BackUP_Keep]\n0000=1\n");
  EXPECT_EQ(Run(), kRunSucceeded);
  EXPECT_TRUE(fs::exists(Saved("a_20200101000000.zip")));
  const std::vector<std::string> kept = SectionLines(PathOf(report_.logFile), kRetentionSection);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_NE(kept[0].find("=NotListed:" + Save() + "\tSlot:0000\tReason:the archive just written"),
            std::string::npos)
      << kept[0];
  std::rewind(report_.standardError);
  char line[512] = "";
  ASSERT_NE(std::fgets(line, sizeof line, report_.standardError), nullptr);
  EXPECT_NE(std::string(line).find("slot 0000: old archives not removed"), std::string::npos)
      << line;
}

}  // namespace
