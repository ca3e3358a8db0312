// The run's removal of a slot's old archives when the system refuses: a
// removal that fails, or a folder that cannot be listed, is recorded and
// said without failing the slot or stopping the other removals.
#include "run/old_archives.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/codepage.h"
#include "platform/posix/fault_injection.h"
#include "run/program_files.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

using namespace AppModule;
using test_support::Names;
using test_support::ScratchFolder;
using test_support::WriteBytes;

const platform::LocalTime kNow{2026, 12, 7, 22, 0, 5};

class OldArchives : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(save_);
    report_.settingsFile = (scratch_.path() / "slotbackup.ini").string();
    report_.logFile = (scratch_.path() / "slotbackup.log").string();
    report_.standardError = std::tmpfile();
  }
  void TearDown() override { std::fclose(report_.standardError); }

  SlotPlan Plan(const std::string& keep) {
    WriteBytes(report_.settingsFile, "[BackUP_Save]\nSavePath=" + save_.string() +
                                         "\nArchiveType=ZIP\n[BackUP_Target]\n0003=/t\n"
                                         "[BackUP_Name]\n0003=a_%D.zip\n[BackUP_Keep]\n0003=" +
                                         keep + "\n");
    clsIniFile settings;
    settings.FileName(report_.settingsFile);
    return PlanSlot(settings, ReadSaveSettings(settings), 3, kNow);
  }
  std::vector<std::string> Retention() const {
    return test_support::SectionLines(report_.logFile, kRetentionSection);
  }
  std::string Said() const {
    std::rewind(report_.standardError);
    std::string text;
    for (int c; (c = std::fgetc(report_.standardError)) != EOF;) text += static_cast<char>(c);
    return text;
  }

  ScratchFolder scratch_;
  fs::path save_ = scratch_.path() / "save";
  ReportFiles report_;
};

TEST_F(OldArchives, AFailedRemovalIsRecordedAndSaidAndTheNextIsStillRemoved) {
  WriteBytes(save_ / "a_20261207220005.zip", "new");
  WriteBytes(save_ / "a_20200101000000.zip", "oldest");
  WriteBytes(save_ / "a_20200102000000.zip", "older");
  {
    platform::posix::FaultInjector faults;
    faults.FailRemove(1, EACCES);
    RemoveOldArchives(Plan("1"), report_);
  }
  EXPECT_EQ(Names(save_),
            (std::vector<std::string>{"a_20200101000000.zip", "a_20261207220005.zip"}));
  const std::vector<std::string> lines = Retention();
  ASSERT_EQ(lines.size(), 2u);
  const std::string stuck = (save_ / "a_20200101000000.zip").string();
  EXPECT_NE(lines[0].find("=NotRemoved:" + stuck + "\tSlot:0003\tReason:cannot remove " + stuck +
                          ": Permission denied"),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[1].find("=Removed:" + (save_ / "a_20200102000000.zip").string()),
            std::string::npos)
      << lines[1];
  EXPECT_NE(Said().find("slot 0003: old archive not removed: cannot remove " + stuck),
            std::string::npos)
      << Said();
}

TEST_F(OldArchives, AnArchivesListOfWhatItLacksGoesWithItAndNoOtherList) {
  WriteBytes(save_ / "a_20261207220005.zip", "new");
  WriteBytes(save_ / "a_20261207220005.zip.missing.txt", "the new one's");
  WriteBytes(save_ / "a_20200101000000.zip", "old");
  WriteBytes(save_ / "a_20200101000000.zip.missing.txt", "the old one's");
  WriteBytes(save_ / "b_20200101000000.zip.missing.txt", "another slot's");
  RemoveOldArchives(Plan("1"), report_);
  EXPECT_EQ(Names(save_),
            (std::vector<std::string>{"a_20261207220005.zip", "a_20261207220005.zip.missing.txt",
                                      "b_20200101000000.zip.missing.txt"}));
  const std::vector<std::string> lines = Retention();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("=Removed:" + (save_ / "a_20200101000000.zip.missing.txt").string()),
            std::string::npos)
      << lines[1];
}

TEST_F(OldArchives, AFolderThatCannotBeListedIsRecordedAndNothingIsRemoved) {
  const SlotPlan plan = Plan("1");
  fs::remove(save_);
  RemoveOldArchives(plan, report_);
  const std::vector<std::string> lines = Retention();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("=NotListed:" + save_.string() + "\tSlot:0003\tReason:cannot list"),
            std::string::npos)
      << lines[0];
  EXPECT_NE(Said().find("slot 0003: old archives not removed"), std::string::npos) << Said();
}

}  // namespace
