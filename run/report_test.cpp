// Every failure reaches a person: the records the run writes, and what it
// says on standard error when a record cannot be written.
#include "run/report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/error.h"
#include "run/program_files.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

using test_support::SectionLines;

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files_.settingsFile = (dir_ / "slotbackup.ini").string();
    files_.logFile = (dir_ / "slotbackup.log").string();
    files_.standardError = std::fopen((dir_ / "stderr.txt").string().c_str(), "w+b");
    ASSERT_NE(files_.standardError, nullptr);
  }
  void TearDown() override { std::fclose(files_.standardError); }

  std::vector<std::string> StandardError() {
    std::fflush(files_.standardError);
    std::ifstream in(dir_ / "stderr.txt", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // A file in a folder that does not exist: every write of it fails.
  std::string Unwritable(const char* name) { return (dir_ / "gone" / name).string(); }

  test_support::ScratchFolder dir_;
  AppModule::ReportFiles files_;
};

TEST_F(ReportTest, AFailedSlotKeepsItsErrorLogEntryAndGetsItsReasonUnderTheSameKey) {
  const std::string when = "2026/12/07 22:00:05";
  EXPECT_TRUE(AppModule::RecordFailedSlot(files_, "0003", "/data/a", "disk full", when));
  EXPECT_TRUE(AppModule::RecordFailedSlot(files_, "0004", "/data/b", "cannot read x", when));
  EXPECT_EQ(SectionLines(files_.settingsFile, AppModule::kErrorLogSection),
            (std::vector<std::string>{when + "=/data/a", when + " (2)=/data/b"}));
  EXPECT_EQ(SectionLines(files_.logFile, AppModule::kArchiverMessageSection),
            (std::vector<std::string>{when + "=Target:/data/a\tMessage:disk full",
                                      when + " (2)=Target:/data/b\tMessage:cannot read x"}));
  EXPECT_EQ(
      StandardError(),
      (std::vector<std::string>{"slotbackup: slot 0003: archiving /data/a failed: disk full",
                                "slotbackup: slot 0004: archiving /data/b failed: cannot read x"}));
}

TEST_F(ReportTest, AnErrorLogEntryThatCannotBeWrittenIsRecordedInTheLogWithTheReason) {
  files_.settingsFile = Unwritable("slotbackup.ini");
  EXPECT_FALSE(AppModule::RecordFailedSlot(files_, "0001", "/data/a", "disk full", "2026/12/07"));
  const auto log = SectionLines(files_.logFile, AppModule::kArchiverMessageSection);
  ASSERT_EQ(log.size(), 1u);
  const std::string expected =
      "2026/12/07=Target:/data/a\tMessage:disk full\tNotInError_LOG:"
      "Cannot write " +
      files_.settingsFile + ": ";
  EXPECT_EQ(log[0].substr(0, expected.size()), expected) << log[0];
  const auto err = StandardError();
  ASSERT_EQ(err.size(), 1u);
  EXPECT_NE(err[0].find("[not recorded in Error_LOG: Cannot write "), std::string::npos) << err[0];
}

TEST_F(ReportTest, WhenNeitherFileCanBeWrittenStandardErrorHasTheWholeFailure) {
  files_.settingsFile = Unwritable("slotbackup.ini");
  files_.logFile = Unwritable("slotbackup.log");
  EXPECT_FALSE(AppModule::RecordFailedSlot(files_, "0001", "/data/a", "disk full", "2026/12/07"));
  EXPECT_FALSE(AppModule::RecordError(files_, "ModuleName:Main", "Path not found: /x", "2026"));
  const auto err = StandardError();
  ASSERT_EQ(err.size(), 2u);
  EXPECT_EQ(err[0].rfind("slotbackup: slot 0001: archiving /data/a failed: disk full "
                         "[not recorded in Error_LOG: Cannot write " +
                             files_.settingsFile,
                         0),
            0u)
      << err[0];
  EXPECT_NE(err[0].find("[not recorded in the error log: Cannot write " + files_.logFile),
            std::string::npos)
      << err[0];
  EXPECT_EQ(err[1].rfind("slotbackup: Path not found: /x [not recorded in the error log: ", 0), 0u)
      << err[1];
}

TEST_F(ReportTest, AnErrorIsOneEntryAndOneLine) {
  EXPECT_TRUE(AppModule::RecordError(files_, "ModuleName:Main\tObjectName:AppModule\tErrorInfo:x",
                                     "x", "2026/12/07 22:00:09"));
  EXPECT_EQ(SectionLines(files_.logFile, AppModule::kErrorDescriptionSection),
            std::vector<std::string>{
                "2026/12/07 22:00:09=ModuleName:Main\tObjectName:AppModule\tErrorInfo:x"});
  EXPECT_EQ(StandardError(), std::vector<std::string>{"slotbackup: x"});
}

TEST_F(ReportTest, ARecoveryIsLoggedQuietlyAndPrintedOnlyWhenItCannotBe) {
  AppModule::RecordRecovery(files_, "Restored:/data/a\tAttributes:17", "2026/12/07");
  EXPECT_EQ(SectionLines(files_.logFile, AppModule::kRecoverySection),
            std::vector<std::string>{"2026/12/07=Restored:/data/a\tAttributes:17"});
  EXPECT_TRUE(StandardError().empty());
  files_.logFile = Unwritable("slotbackup.log");
  AppModule::RecordRecovery(files_, "Restored:/data/b\tAttributes:17", "2026/12/07");
  const auto err = StandardError();
  ASSERT_EQ(err.size(), 1u);
  EXPECT_EQ(err[0].rfind("slotbackup: Restored:/data/b\tAttributes:17 [not recorded", 0), 0u);
}

TEST(DescriptionOfCurrentError, IsWhatTheErrorSaysOrUnknownErrorForOneThatSaysNothing) {
  try {
    throw platform::Error("Path not found: /gone");
  } catch (...) {
    EXPECT_EQ(AppModule::DescriptionOfCurrentError(), "Path not found: /gone");
  }
  try {
    throw 42;
  } catch (...) {
    EXPECT_EQ(AppModule::DescriptionOfCurrentError(), "Unknown error");
  }
}

TEST(ArchiverMessageEntry, ReadsBackWhatTheRunWrites) {
  for (const AppModule::ArchiverMessage& entry :
       {AppModule::ArchiverMessage{"/data/仕事", "cannot read /data/仕事/a: Permission denied", ""},
        AppModule::ArchiverMessage{"/t", "", "Cannot write /s.ini: Read-only file system"},
        AppModule::ArchiverMessage{"C:\\x y", "the archiver crashed: signal 6 (Aborted)", "z"}}) {
    const std::optional<AppModule::ArchiverMessage> read =
        AppModule::ParseArchiverMessage(AppModule::FormatArchiverMessage(entry));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->target, entry.target);
    EXPECT_EQ(read->message, entry.message);
    EXPECT_EQ(read->notInErrorLog, entry.notInErrorLog);
  }
  EXPECT_FALSE(AppModule::ParseArchiverMessage("Message:x\tTarget:y").has_value());
  EXPECT_FALSE(AppModule::ParseArchiverMessage("Target:/t").has_value());
}

TEST(ProgramFiles, TheRunsFilesLieBesideItsSettingsUnderTheSameName) {
  EXPECT_EQ(AppModule::BesideSettings("/opt/s/slotbackup.ini", AppModule::kErrorLogExtension),
            "/opt/s/slotbackup.log");
  EXPECT_EQ(AppModule::BesideSettings("/opt/s.d/other", AppModule::kRunLockExtension),
            "/opt/s.d/other.lock");
  EXPECT_EQ(AppModule::BesideSettings("/opt/.hidden", AppModule::kRecoveryExtension),
            "/opt/.hidden.recovery");
  EXPECT_EQ(AppModule::BesideSettings("x.y.ini", AppModule::kErrorLogExtension), "x.y.log");
}

// Error_LOG goes through a link at the settings file's name, the user's own;
// the error log, the run's own, refuses one and the line on standard error
// says so.
TEST_F(ReportTest, OnlyTheSettingsFileIsWrittenThroughALinkAtItsName) {
  const fs::path settings = dir_ / "dotfiles.ini", log = dir_ / "elsewhere.log";
  test_support::WriteBytes(settings, "[BackUP_Save]\n");
  test_support::WriteBytes(log, "[Keep]\n");
  std::error_code error;
  fs::create_symlink(settings, files_.settingsFile, error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  fs::create_symlink(log, files_.logFile);
  EXPECT_TRUE(AppModule::RecordFailedSlot(files_, "0001", "/data/a", "disk full", "2026/12/07"));
  EXPECT_EQ(test_support::ReadBytes(settings), "[BackUP_Save]\n[Error_LOG]\n2026/12/07=/data/a\n");
  EXPECT_EQ(test_support::ReadBytes(log), "[Keep]\n");
  EXPECT_TRUE(fs::is_symlink(files_.settingsFile));
  EXPECT_TRUE(fs::is_symlink(files_.logFile));
  const auto lines = StandardError();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("[not recorded in the error log: Cannot write " + files_.logFile +
                          ": it is a symbolic link, not a regular file]"),
            std::string::npos)
      << lines[0];
}

}  // namespace
