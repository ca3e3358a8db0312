// The checker's prediction for each slot held against what the run then
// does with the same settings, the same time and the same stand-in for the
// archiver libraries (one that fails as a library does when it cannot write
// its archive). Real folders, in process.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "archiver/fake_archiver_runner.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "run/expand_name.h"
#include "run/program_files.h"
#include "run/slot_run.h"
#include "testing/support.h"
#include "tools/check/agreement.h"
#include "tools/check/checker.h"

namespace fs = std::filesystem;

namespace {

using test_support::PathOf;
using test_support::ScratchFolder;
using test_support::SectionLines;
using test_support::Utf8Of;
using test_support::WriteBytes;
using Unlha32::FakeArchiverRunner;
using Unlha32::Result;

const platform::LocalTime kNow{2026, 12, 7, 22, 0, 5};

class Agreement : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"backups", "data/a", "data/b", "data/c"}) {
      WriteBytes(root_ / folder / "file.txt", folder);
    }
    // As a library does: the archive is written where the line says, and
    // the run fails when it cannot be.
    archivers_.respond = [](const FakeArchiverRunner::Call& call) {
      const size_t open = call.commandLine.find('"');
      const std::string archive =
          call.commandLine.substr(open + 1, call.commandLine.find('"', open + 1) - open - 1);
      std::ofstream out(PathOf(archive), std::ios::binary);
      out << call.commandLine;
      return out ? Result{true, "written"} : Result{false, "cannot create " + archive};
    };
  }
  std::string Path(const std::string& relative) const { return Utf8Of(root_) + "/" + relative; }

  // Checks the settings ("@" for the test's folder), then runs them, and
  // returns the prediction and what the run did, side by side.
  void ExpectAgreement(std::string text, const std::string& alsoFound = "") {
    for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at)) {
      text.replace(at, 1, Utf8Of(root_));
    }
    WriteBytes(root_ / "slotbackup.ini", platform::ToMultiByte(text));
    const check::Report plan = check::Inspect(Path("slotbackup.ini"), kNow, archivers_);
    ASSERT_FALSE(plan.slots.empty());
    if (!alsoFound.empty()) {
      bool found = false;
      for (const check::Finding& finding : plan.findings) found |= finding.code == alsoFound;
      EXPECT_TRUE(found) << "no finding " << alsoFound;
      EXPECT_EQ(check::ExitStatus(plan), check::kSomethingFailsOrIsIgnored);
    }

    AppModule::ReportFiles files;
    files.settingsFile = Path("slotbackup.ini");
    files.logFile = Path("slotbackup.log");
    files.standardError = nullptr;
    clsIniFile settings;
    settings.FileName(files.settingsFile);
    AppModule::SlotRun run(settings, files, Path("slotbackup.recovery"), archivers_,
                           [] { return kNow; });
    const std::set<std::string> before = Files();
    check_test::RunEffects effects;
    try {
      run.RunSlots();
    } catch (const platform::Error&) {
      effects.endedByError = true;
    }
    for (const std::string& line :
         SectionLines(root_ / "slotbackup.ini", AppModule::kErrorLogSection)) {
      effects.failedTargets.push_back(line.substr(line.find('=') + 1));
    }
    const auto observed = check_test::ObservedOutcomes(plan, AppModule::Stamp(kNow), effects);
    EXPECT_EQ(check_test::Describe(plan, check_test::PredictedOutcomes(plan)),
              check_test::Describe(plan, observed));

    // The old archives the checker foresaw going are exactly those gone.
    std::set<std::string> foreseen, gone;
    for (const check::PlannedSlot& slot : plan.slots)
      foreseen.insert(slot.removes.begin(), slot.removes.end());
    const std::set<std::string> after = Files();
    for (const std::string& name : before) {
      if (!after.count(name)) gone.insert(name);
    }
    EXPECT_EQ(foreseen, gone);
  }

  // The names of the files under the test's folder.
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      if (entry.is_regular_file()) names.insert(Utf8Of(entry.path().filename()));
    }
    return names;
  }

  ScratchFolder root_;
  FakeArchiverRunner archivers_;
};

const std::string kThree =
    "[BackUP_Target]\n0000=@/data/a\n0001=@/data/b\n0002=@/data/c\n"
    "[BackUP_Name]\n0000=a_%D.zip\n0001=b_%D.zip\n0002=c_%D.zip\n"
    "[BackUP_ConstantName]\n0000=a.zip\n0001=b.zip\n0002=c.zip\n";

std::string Save(const std::string& folder, const std::string& type) {
  return "[BackUP_Save]\nSavePath=@/" + folder + "\nArchiveType=" + type + "\n";
}

TEST_F(Agreement, EverySlotArchived) {
  ExpectAgreement(Save("backups", "ZIP") + kThree);
}

TEST_F(Agreement, AMissingTargetEndsTheRunThere) {
  fs::remove_all(root_ / "data" / "b");
  ExpectAgreement(Save("backups", "LHA") + kThree, "target-missing");
}

TEST_F(Agreement, AMissingLibraryEndsTheRunAtTheFirstSlot) {
  archivers_.missing = {Unlha32::Library::kSevenZip};
  ExpectAgreement(Save("backups", "ZIP") + kThree, "archiver-not-loadable");
}

TEST_F(Agreement, ADoubleQuoteFailsOnlyItsSlot) {
  ExpectAgreement(Save("backups", "ZIP") + "[BackUP_Target]\n0000=@/data/a\n0001=@/data/b\n" +
                      "[BackUP_Name]\n0000=q\" -x.zip\n0001=b.zip\n",
                  "quote-in-path");
}

TEST_F(Agreement, AMissingSaveFolderFailsEverySlot) {
  ExpectAgreement(Save("nowhere", "ZIP") + kThree, "folder-missing");
}

TEST_F(Agreement, AFixedNameThatCannotBeWrittenEndsTheRun) {
  ExpectAgreement(Save("backups", "ZIP") +
                      "[BackUP_Target]\n0000=@/data/a\n0001=@/data/b\n"
                      "[BackUP_Name]\n0000=a.zip\n0001=b.zip\n"
                      "[BackUP_ConstantName]\n0000=gone/a.zip\n0001=b.zip\n",
                  "folder-missing");
}

TEST_F(Agreement, WithoutArchiverACopyNeedsAnArchiveAlreadyThere) {
  WriteBytes(root_ / "backups" / "a.old", "earlier archive");
  ExpectAgreement(Save("backups", "none") +
                      "[BackUP_Target]\n0000=@/data/a\n0001=@/data/b\n0002=@/data/c\n"
                      "[BackUP_Name]\n0000=a.old\n0001=b.old\n0002=c.old\n"
                      "[BackUP_ConstantName]\n0000=a.zip\n0001=b.zip\n0002=c.zip\n",
                  "copy-source-missing");
}

TEST_F(Agreement, OldArchivesGoAsForeseenAndOnlyForSlotsThatKeepAValidNumber) {
  for (const char* name :
       {"a_20261201000000.zip", "a_20261202000000.zip", "a_20261203000000.zip",
        "b_20261201000000.zip", "b_20261202000000.zip", "c.zip", "a_20261301000000.zip"}) {
    WriteBytes(root_ / "backups" / name, "earlier archive");
  }
  ExpectAgreement(Save("backups", "ZIP") +
                      "[BackUP_Target]\n0000=@/data/a\n0001=@/data/b\n0002=@/data/c\n"
                      "[BackUP_Name]\n0000=a_%D.zip\n0001=b_%D.zip\n0002=c.zip\n"
                      "[BackUP_ConstantName]\n0000=a.zip\n"
                      "[BackUP_Keep]\n0000=2\n0001=none\n0002=1\n",
                  "keep-invalid");
  EXPECT_TRUE(fs::exists(root_ / "backups" / "a_20261203000000.zip"));
  EXPECT_FALSE(fs::exists(root_ / "backups" / "a_20261202000000.zip"));
  EXPECT_TRUE(fs::exists(root_ / "backups" / "b_20261201000000.zip"));
}

// What the run does harm with, it still does: the checker predicts it and
// names the harm.
TEST_F(Agreement, ArchivesInsideTheTargetAreArchivedAndCalledAProblem) {
  fs::create_directories(root_ / "data" / "a" / "backups");
  ExpectAgreement(Save("data/a/backups", "ZIP") +
                      "[BackUP_Target]\n0000=@/data/a\n[BackUP_Name]\n0000=a_%D.zip\n",
                  "archives-inside-target");
}

TEST_F(Agreement, SharedNamesAreArchivedAndCalledAProblem) {
  ExpectAgreement(Save("backups", "ZIP") +
                      "[BackUP_Target]\n0000=@/data/a\n0001=@/data/b\n"
                      "[BackUP_Name]\n0000=same.zip\n0001=same.zip\n"
                      "[BackUP_ConstantName]\n0000=latest.zip\n0001=latest.zip\n",
                  "shared-name");
}

TEST_F(Agreement, NamesLeavingTheSaveFolderAreArchivedAndCalledAProblem) {
  ExpectAgreement(Save("backups", "ZIP") +
                      "[BackUP_Target]\n0000=@/data/a\n[BackUP_Name]\n0000=../outside_%D.zip\n",
                  "leaves-save-folder");
  EXPECT_TRUE(fs::exists(root_ / ("outside_" + AppModule::Stamp(kNow) + ".zip")));
}

}  // namespace
