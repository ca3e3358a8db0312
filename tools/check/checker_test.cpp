// The checker on settings files that show each thing it reports, run
// against real folders in a temporary directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "archiver/fake_archiver_runner.h"
#include "platform/codepage.h"
#include "platform/file_path.h"
#include "run/cleared_folder.h"
#include "run/program_files.h"
#include "run/report.h"
#include "run/run_lock.h"
#include "settings/ini_file.h"
#include "testing/support.h"
#include "tools/check/checker.h"
#include "tools/check/render.h"

namespace fs = std::filesystem;

namespace {

const platform::LocalTime kNow{2026, 12, 7, 22, 0, 5};
const std::string kStamp = "20261207220005";

using test_support::PathOf;
using test_support::Utf8Of;
using test_support::WriteBytes;

class InspectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "backups");
    fs::create_directories(root_ / "data" / PathOf("仕事"));
    fs::create_directories(root_ / "data" / "notes");
  }

  // Spelt as the settings files below spell it: '/' is a separator everywhere.
  std::string Path(const std::string& relative) const { return Utf8Of(root_) + "/" + relative; }

  // A settings file whose "@" stands for the test's folder.
  check::Report Check(std::string text) {
    for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at)) {
      text.replace(at, 1, Utf8Of(root_));
    }
    // The file is read in the system's code page, as the run reads it.
    WriteBytes(root_ / "slotbackup.ini", platform::ToMultiByte(text));
    return check::Inspect(Path("slotbackup.ini"), kNow, archivers_);
  }

  test_support::ScratchFolder root_;
  Unlha32::FakeArchiverRunner archivers_;
};

// The codes of the findings.
std::vector<std::string> Codes(const check::Report& report) {
  std::vector<std::string> codes;
  for (const check::Finding& finding : report.findings) codes.push_back(finding.code);
  return codes;
}

const check::Finding* Find(const check::Report& report, const std::string& code,
                           const std::string& key = "") {
  for (const check::Finding& finding : report.findings) {
    if (finding.code == code && (key.empty() || finding.key == key)) return &finding;
  }
  return nullptr;
}

const std::string kSaveZip = "[BackUP_Save]\nSavePath=@/backups\nArchiveType=ZIP\n";

TEST_F(InspectTest, CleanFilePlansEverySlotAndReportsNothing) {
  const check::Report report = Check(
      "; comment\n[backup_save]\nsavepath = @/backups\nArchiveType=zip\n"
      "[BackUP_Target]\n0000=@/data/仕事\n0042=\"@/data/notes\"\n"
      "[BackUP_Name]\n0000=仕事_%D.zip\n0042=notes %D.7z\n"
      "[BackUP_ConstantName]\n0000=仕事_latest.zip\n");
  EXPECT_TRUE(Codes(report).empty()) << ::testing::PrintToString(Codes(report));
  EXPECT_EQ(check::ExitStatus(report), check::kAllWillBeDone);
  EXPECT_EQ(report.savePath, Path("backups"));
  EXPECT_EQ(report.archiveType, "ZIP");
  ASSERT_EQ(report.slots.size(), 2u);
  EXPECT_EQ(report.slots[0].key, "0000");
  EXPECT_EQ(report.slots[0].target, Path("data/仕事"));
  EXPECT_EQ(report.slots[0].name, "仕事_" + kStamp + ".zip");
  EXPECT_EQ(report.slots[0].format, "ZIP");
  EXPECT_EQ(report.slots[0].constantName, "仕事_latest.zip");
  EXPECT_EQ(report.slots[0].outcome, check::Outcome::kArchive);
  EXPECT_EQ(report.slots[1].key, "0042");
  EXPECT_EQ(report.slots[1].target, Path("data/notes")) << "quotes are removed as the run reads";
  EXPECT_EQ(report.slots[1].format, "7z");
  EXPECT_EQ(report.slots[1].constantName, "");
  EXPECT_EQ(report.logPath, Path("slotbackup.log"));
}

TEST_F(InspectTest, KeysLinesAndSectionsTheRunNeverReads) {
  const check::Report report =
      Check(kSaveZip +
            "Compression=9\n"
            "[BackUP_Target]\n7=@/data/notes\n0100=@/data/notes\n12345=@/data/notes\n"
            "0001=@/data/notes\n0001=@/data/仕事\njust text\n"
            "[BackUP_Name]\n0001=n_%D.zip\n"
            "[Backup Target]\n0002=@/data/notes\n"
            "[Schedule]\nAt=22:00\n"
            "[backup_target]\n0003=@/data/notes\n");
  EXPECT_EQ(check::ExitStatus(report), check::kSomethingFailsOrIsIgnored);
  ASSERT_NE(Find(report, "unknown-key", "Compression"), nullptr);
  const check::Finding* seven = Find(report, "not-a-slot-key", "7");
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(seven->action, "Write it as 0007.");
  EXPECT_EQ(seven->section, "BackUP_Target");
  EXPECT_NE(Find(report, "not-a-slot-key", "12345"), nullptr);
  EXPECT_NE(Find(report, "slot-out-of-range", "0100"), nullptr);
  EXPECT_NE(Find(report, "duplicate-key", "0001"), nullptr);
  EXPECT_NE(Find(report, "not-a-key"), nullptr);
  const check::Finding* again = Find(report, "duplicate-section");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->section, "backup_target");
  const check::Finding* misspelt = Find(report, "unknown-section");
  ASSERT_NE(misspelt, nullptr);
  EXPECT_EQ(misspelt->section, "Backup Target");
  EXPECT_NE(misspelt->message.find("Did you mean [BackUP_Target]?"), std::string::npos);
  const std::vector<std::string> codes = Codes(report);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "unknown-section"), 2);
  // A section that appears twice is still looked through once.
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "duplicate-key"), 1);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "not-a-slot-key"), 2);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "duplicate-section"), 1);

  // The first of the duplicate keys is the one the run uses.
  ASSERT_EQ(report.slots.size(), 1u);
  EXPECT_EQ(report.slots[0].target, Path("data/notes"));
}

// Where file names are bytes (POSIX), a folder named in bytes the code page
// cannot decode is the folder the run will archive, and the report names
// those bytes in text any terminal or JSON reader takes.
TEST_F(InspectTest, AFolderNamedInBytesTheCodePageCannotDecodeIsFoundAndShownReadably) {
  const std::string latin1 = "caf\xE9";  // not text in UTF-8, CP932 or EUC-JP
  const std::string name = platform::ToUtf8(latin1);
  if (platform::ToMultiByte(name) != latin1) {
    GTEST_SKIP() << "file names here are not bytes the code page can carry";
  }
  fs::create_directories(platform::FileSystemPath(Path("data/" + name)));
  const check::Report report = Check(kSaveZip + "[BackUP_Target]\n0001=@/data/" + name +
                                     "\n[BackUP_Name]\n0001=" + name + "_%D.zip\n");
  EXPECT_EQ(Find(report, "target-missing"), nullptr);
  ASSERT_EQ(report.slots.size(), 1u);
  EXPECT_EQ(report.slots[0].outcome, check::Outcome::kArchive);
  const std::string text = check::TextReport(report);
  EXPECT_NE(text.find(Path("data/caf\\xE9")), std::string::npos) << text;
  EXPECT_EQ(text.find(name), std::string::npos) << "an escaped byte was printed as it is";
  EXPECT_NE(check::JsonReport(report).find("caf\\\\xE9_" + kStamp + ".zip"), std::string::npos);
}

TEST_F(InspectTest, SlotsMissingATargetOrANameAreReported) {
  const check::Report report = Check(kSaveZip +
                                     "[BackUP_Target]\n0003=@/data/notes\n0004=\n"
                                     "[BackUP_Name]\n0004=orphan_%D.zip\n"
                                     "[BackUP_ConstantName]\n0005=latest.zip\n");
  EXPECT_NE(Find(report, "no-name", "0003"), nullptr);
  EXPECT_NE(Find(report, "no-target", "0004"), nullptr) << "an empty target is no target";
  EXPECT_NE(Find(report, "no-target", "0005"), nullptr);
  EXPECT_TRUE(report.slots.empty());
}

TEST_F(InspectTest, ArchiveTypesTheRunDoesNotRecognise) {
  const std::string slots = "[BackUP_Target]\n0000=@/data/notes\n[BackUP_Name]\n0000=n_%D.zip\n";
  struct Case {
    std::string line, expectType, messagePart;
  };
  for (const Case& c : {Case{"ArchiveType=\" ZIP\"\n", " ZIP", "begins with a blank"},
                        Case{"ArchiveType='lha '\n", "LHA ", "ends with a blank"},
                        Case{"ArchiveType=TAR\n", "TAR", "neither LHA nor ZIP"},
                        Case{"", "", "missing or empty"}}) {
    const check::Report report = Check("[BackUP_Save]\nSavePath=@/backups\n" + c.line + slots);
    EXPECT_EQ(report.archiveType, c.expectType);
    const check::Finding* finding = Find(report, "archive-type");
    ASSERT_NE(finding, nullptr) << c.line;
    EXPECT_NE(finding->message.find(c.messagePart), std::string::npos) << finding->message;
    ASSERT_EQ(report.slots.size(), 1u);
    EXPECT_EQ(report.slots[0].outcome, check::Outcome::kNoArchiver);
    EXPECT_EQ(report.slots[0].format, "");
  }
}

TEST_F(InspectTest, MissingTargetEndsTheRunAndLaterSlotsAreNotReached) {
  const check::Report report =
      Check(kSaveZip +
            "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/gone\n"
            "0002=@/data/仕事\n0003=@/data/gone too\n"
            "[BackUP_Name]\n0000=a_%D.zip\n0001=b_%D.zip\n0002=c_%D.zip\n0003=d_%D.zip\n");
  ASSERT_EQ(report.slots.size(), 4u);
  EXPECT_EQ(report.slots[0].outcome, check::Outcome::kArchive);
  EXPECT_EQ(report.slots[1].outcome, check::Outcome::kEndsRun);
  EXPECT_EQ(report.slots[2].outcome, check::Outcome::kNotReached);
  const check::Finding* finding = Find(report, "target-missing", "0001");
  ASSERT_NE(finding, nullptr);
  EXPECT_NE(finding->message.find("Path not found"), std::string::npos) << finding->message;
  // Slots beyond the end are still examined, so one reading shows all to mend.
  EXPECT_EQ(report.slots[3].outcome, check::Outcome::kNotReached);
  EXPECT_NE(Find(report, "target-missing", "0003"), nullptr);

  WriteBytes(root_ / "data" / "a file", "x");
  const check::Report file = Check(kSaveZip +
                                   "[BackUP_Target]\n0000=@/data/a file\n"
                                   "[BackUP_Name]\n0000=a_%D.zip\n");
  EXPECT_NE(Find(file, "target-missing", "0000"), nullptr) << "a file is not a folder";
}

TEST_F(InspectTest, NamesWhoseExtensionTheArchiverWouldNotKeep) {
  const check::Report zip = Check(kSaveZip +
                                  "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/notes\n"
                                  "0002=@/data/notes\n0003=@/data/notes\n"
                                  "[BackUP_Name]\n0000=plain_%D\n0001=n_%D.lzh\n0002=n_%D.ZIP\n"
                                  "0003=dir.d/%D\n");
  ASSERT_EQ(zip.slots.size(), 4u);
  const check::Finding* none = Find(zip, "no-extension", "0000");
  ASSERT_NE(none, nullptr);
  EXPECT_NE(none->action.find("\"plain_%D.zip\""), std::string::npos) << none->action;
  EXPECT_NE(Find(zip, "extension-mismatch", "0001"), nullptr);
  EXPECT_EQ(zip.slots[1].format, "7z");
  EXPECT_EQ(zip.slots[2].format, "ZIP") << "extensions match in any letter case";
  for (const check::Finding& finding : zip.findings) EXPECT_NE(finding.key, "0002");
  EXPECT_NE(Find(zip, "no-extension", "0003"), nullptr) << "only the last component counts";

  const check::Report lha = Check(
      "[BackUP_Save]\nSavePath=@/backups\nArchiveType=LHA\n"
      "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/notes\n0002=@/data/notes\n"
      "[BackUP_Name]\n0000=n_%D.lzh\n0001=n_%D.LHA\n0002=n_%D.zip\n");
  EXPECT_EQ(Codes(lha), std::vector<std::string>{"extension-mismatch"});
  EXPECT_EQ(Find(lha, "extension-mismatch")->key, "0002");
  ASSERT_EQ(lha.slots.size(), 3u);
  EXPECT_EQ(lha.slots[0].format, "LHA");
}

TEST_F(InspectTest, DoubleQuotesMakeSlotsFail) {
  const check::Report name = Check(kSaveZip +
                                   "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/notes\n"
                                   "[BackUP_Name]\n0000=a\"b_%D.zip\n0001=ok_%D.zip\n");
  ASSERT_EQ(name.slots.size(), 2u);
  EXPECT_EQ(name.slots[0].outcome, check::Outcome::kFails);
  EXPECT_EQ(name.slots[1].outcome, check::Outcome::kArchive);
  EXPECT_NE(Find(name, "quote-in-path", "0000"), nullptr);

  const check::Report save = Check(
      "[BackUP_Save]\nSavePath=@/back\"ups\nArchiveType=ZIP\n"
      "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/notes\n"
      "[BackUP_Name]\n0000=a_%D.zip\n0001=b_%D.zip\n");
  ASSERT_EQ(save.slots.size(), 2u);
  EXPECT_EQ(save.slots[0].outcome, check::Outcome::kFails);
  EXPECT_EQ(save.slots[1].outcome, check::Outcome::kFails);
  EXPECT_EQ(Codes(save), std::vector<std::string>{"quote-in-path"}) << "reported once";
}

TEST_F(InspectTest, FoldersThatCannotReceiveArchivesOrCopies) {
  const std::string slots =
      "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/仕事\n"
      "[BackUP_Name]\n0000=a_%D.zip\n0001=b_%D.zip\n";
  const check::Report missing =
      Check("[BackUP_Save]\nSavePath=@/nowhere\nArchiveType=ZIP\n" + slots);
  ASSERT_EQ(missing.slots.size(), 2u);
  EXPECT_EQ(missing.slots[0].outcome, check::Outcome::kFails);
  EXPECT_EQ(missing.slots[1].outcome, check::Outcome::kFails);
  EXPECT_EQ(Codes(missing), std::vector<std::string>{"folder-missing"}) << "reported once";

  const check::Report empty = Check("[BackUP_Save]\nArchiveType=ZIP\n" + slots);
  EXPECT_NE(Find(empty, "save-path-empty"), nullptr);

  const check::Report copy =
      Check(kSaveZip + slots + "[BackUP_ConstantName]\n0000=missing/latest.zip\n");
  ASSERT_EQ(copy.slots.size(), 2u);
  EXPECT_EQ(copy.slots[0].outcome, check::Outcome::kEndsRun);
  EXPECT_EQ(copy.slots[1].outcome, check::Outcome::kNotReached);
  EXPECT_NE(Find(copy, "folder-missing"), nullptr);
}

TEST_F(InspectTest, WithoutArchiverFixedNamesNeedAnEarlierArchive) {
  const check::Report report = Check(
      "[BackUP_Save]\nSavePath=@/backups\nArchiveType=none\n"
      "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/notes\n0002=@/data/notes\n"
      "[BackUP_Name]\n0000=notes.zip\n0001=fresh_%D.zip\n0002=x_%D.zip\n"
      "[BackUP_ConstantName]\n0000=latest.zip\n0001=latest.zip\n");
  // notes.zip is not there yet: the first copy ends the run.
  ASSERT_EQ(report.slots.size(), 3u);
  EXPECT_EQ(report.slots[0].outcome, check::Outcome::kEndsRun);
  EXPECT_NE(Find(report, "copy-source-missing", "0000"), nullptr);

  WriteBytes(root_ / "backups" / "notes.zip", "old");
  const check::Report old = Check(
      "[BackUP_Save]\nSavePath=@/backups\nArchiveType=none\n"
      "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/notes\n"
      "[BackUP_Name]\n0000=notes.zip\n0001=fresh_%D.zip\n"
      "[BackUP_ConstantName]\n0000=latest.zip\n0001=latest.zip\n");
  ASSERT_EQ(old.slots.size(), 2u);
  EXPECT_EQ(old.slots[0].outcome, check::Outcome::kNoArchiver);
  const check::Finding* note = Find(old, "copy-from-old-archive", "0000");
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->severity, check::Severity::kNote);
  EXPECT_EQ(old.slots[1].outcome, check::Outcome::kEndsRun) << "a stamped name is never there";
}

TEST_F(InspectTest, NotesDoNotChangeTheExitStatus) {
  const check::Report report = Check(
      "[BackUP_Save]\nSavePath=@/backups\nArchiveType=LHA\n"
      "[BackUP_Target]\n0000=@/data/notes\n"
      "[BackUP_Name]\n0000=notes_%d.lzh\n");
  const check::Finding* note = Find(report, "no-stamp", "0000");
  ASSERT_NE(note, nullptr);
  EXPECT_NE(note->message.find("lower-case %d"), std::string::npos);
  EXPECT_EQ(check::ExitStatus(report), check::kAllWillBeDone);

  const check::Report nothing = Check("[BackUP_Save]\nSavePath=@/backups\nArchiveType=ZIP\n");
  EXPECT_EQ(Codes(nothing), std::vector<std::string>{"no-slots"});
  EXPECT_EQ(check::ExitStatus(nothing), check::kAllWillBeDone);
}

TEST_F(InspectTest, RecordedFailuresNewestFirst) {
  std::string log = "[Error_LOG]\n";
  for (int i = 1; i <= 7; ++i)
    log += "2026/12/0" + std::to_string(i) + " 22:00:00=@/t" + std::to_string(i) + "\n";
  WriteBytes(root_ / "slotbackup.log",
             "[ErrorDescription]\n2026/12/01 22:00:00=ModuleName:Main\tObjectName:AppModule\t"
             "ErrorInfo:old\n2026/12/02 22:00:00=ModuleName:Main\tObjectName:AppModule\t"
             "ErrorInfo:Path not found: /gone\n");
  const check::Report report = Check(kSaveZip + log);
  EXPECT_EQ(report.errorLogCount, 7);
  ASSERT_EQ(report.newestErrorLog.size(), check::kNewestEntries);
  EXPECT_EQ(report.newestErrorLog[0].key, "2026/12/07 22:00:00");
  EXPECT_EQ(report.newestErrorLog[0].value, Path("t7"));
  EXPECT_EQ(report.newestErrorLog[4].value, Path("t3"));
  EXPECT_EQ(report.logCount, 2);
  ASSERT_TRUE(report.newestLogEntry.has_value());
  EXPECT_EQ(report.newestLogEntry->value,
            "ModuleName:Main\tObjectName:AppModule\tErrorInfo:Path not found: /gone");
  EXPECT_EQ(Codes(report), std::vector<std::string>{"no-slots"}) << "records are no findings";
}

TEST_F(InspectTest, UnreadableFilesGiveExitStatusTwo) {
  const check::Report missing = check::Inspect(Path("none.ini"), kNow, archivers_);
  EXPECT_FALSE(missing.readable);
  EXPECT_EQ(check::ExitStatus(missing), check::kCannotRead);
  const check::Report folder = check::Inspect(Path("backups"), kNow, archivers_);
  EXPECT_FALSE(folder.readable);
  EXPECT_NE(folder.readError.find("is a folder"), std::string::npos);
  EXPECT_EQ(check::ExitStatus(folder), check::kCannotRead);
}

// ------------------------------------------------------ what the run would harm

// The text report with its lines joined again where it wrapped them.
std::string Unwrapped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') {
      out += text[i];
      continue;
    }
    size_t next = i + 1;
    while (next < text.size() && text[next] == ' ') ++next;
    out += ' ';
    i = next - 1;
  }
  return out;
}

// Each finding shows in both forms the checker prints.
void ExpectInBothForms(const check::Report& report, const check::Finding& finding) {
  EXPECT_NE(check::JsonReport(report).find("\"code\":\"" + finding.code + "\""), std::string::npos)
      << finding.code;
  const std::string text = Unwrapped(check::TextReport(report));
  EXPECT_NE(text.find(finding.message.substr(0, 40)), std::string::npos) << text;
  if (!finding.action.empty()) {
    EXPECT_NE(text.find("What to do: " + finding.action.substr(0, 30)), std::string::npos) << text;
  }
}

TEST_F(InspectTest, ASaveFolderInsideATargetIsAProblem) {
  const std::string slot = "[BackUP_Target]\n0000=@/data\n[BackUP_Name]\n0000=data_%D.zip\n";
  fs::create_directories(root_ / "data" / "backups");
  const check::Report inside =
      Check("[BackUP_Save]\nSavePath=@/data/backups\nArchiveType=ZIP\n" + slot);
  const check::Finding* finding = Find(inside, "archives-inside-target", "0000");
  ASSERT_NE(finding, nullptr) << ::testing::PrintToString(Codes(inside));
  EXPECT_EQ(check::ExitStatus(inside), check::kSomethingFailsOrIsIgnored);
  EXPECT_EQ(inside.slots[0].outcome, check::Outcome::kArchive) << "the run does archive";
  ExpectInBothForms(inside, *finding);

  EXPECT_NE(Find(Check("[BackUP_Save]\nSavePath=@/data\nArchiveType=LHA\n"
                       "[BackUP_Target]\n0000=@/data\n[BackUP_Name]\n0000=d.lzh\n"),
                 "archives-inside-target"),
            nullptr)
      << "the save folder equal to the target";
  EXPECT_NE(Find(Check(kSaveZip + slot + "[BackUP_ConstantName]\n0000=../data/latest.zip\n"),
                 "archives-inside-target"),
            nullptr)
      << "a fixed copy written inside the target";
  EXPECT_EQ(Find(Check(kSaveZip + slot), "archives-inside-target"), nullptr);
}

TEST_F(InspectTest, ASaveFolderReachedThroughALinkInsideTheTargetIsNotPacked) {
  // The archiver stores a link below the target as a link, never following it.
  std::error_code error;
  fs::create_directory_symlink(root_ / "backups", root_ / "data" / "to backups", error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  const check::Report report = Check(
      "[BackUP_Save]\nSavePath=@/data/to backups\nArchiveType=ZIP\n"
      "[BackUP_Target]\n0000=@/data\n[BackUP_Name]\n0000=d.zip\n");
  EXPECT_EQ(Find(report, "archives-inside-target"), nullptr);
  // A linked target is followed: the save folder inside the real folder is.
  fs::create_directory_symlink(root_ / "data", root_ / "linked data");
  fs::create_directories(root_ / "data" / "saved");
  EXPECT_NE(Find(Check("[BackUP_Save]\nSavePath=@/data/saved\nArchiveType=ZIP\n"
                       "[BackUP_Target]\n0000=@/linked data\n[BackUP_Name]\n0000=d.zip\n"),
                 "archives-inside-target"),
            nullptr);
}

TEST_F(InspectTest, SlotsSharingAnArchiveOrAFixedNameAreAProblem) {
  const check::Report same = Check(kSaveZip +
                                   "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/仕事\n"
                                   "[BackUP_Name]\n0000=all.zip\n0001=./all.zip\n");
  const check::Finding* archive = Find(same, "shared-name", "0001");
  ASSERT_NE(archive, nullptr) << ::testing::PrintToString(Codes(same));
  EXPECT_NE(archive->message.find("one archive holds both folders"), std::string::npos);
  EXPECT_EQ(archive->message.find("same second"), std::string::npos) << "always, not by chance";
  ExpectInBothForms(same, *archive);

  const check::Report stamped = Check(kSaveZip +
                                      "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/仕事\n"
                                      "[BackUP_Name]\n0000=%D.zip\n0001=%D.zip\n");
  ASSERT_NE(Find(stamped, "shared-name"), nullptr);
  EXPECT_NE(Find(stamped, "shared-name")->message.find("within the same second"),
            std::string::npos);

  const check::Report fixed = Check(kSaveZip +
                                    "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/仕事\n"
                                    "0002=@/data/notes\n"
                                    "[BackUP_Name]\n0000=a_%D.zip\n0001=b_%D.zip\n0002=c.zip\n"
                                    "[BackUP_ConstantName]\n0000=latest.zip\n0001=latest.zip\n"
                                    "0002=a_" +
                                    kStamp + ".zip\n");
  const check::Finding* copy = Find(fixed, "shared-name", "0001");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->section, "BackUP_ConstantName");
  EXPECT_NE(copy->message.find("holds the other slot's archive"), std::string::npos);
  EXPECT_NE(Find(fixed, "shared-name", "0002"), nullptr) << "a fixed name on another's archive";

  EXPECT_EQ(Find(Check(kSaveZip + "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/仕事\n"
                                  "[BackUP_Name]\n0000=a_%D.zip\n0001=b_%D.zip\n"),
                 "shared-name"),
            nullptr);
}

TEST_F(InspectTest, KeepValuesThatAreNotANumberOrHaveNoStampAreAProblem) {
  const check::Report report =
      Check(kSaveZip +
            "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/notes\n0002=@/data/notes\n"
            "0003=@/data/notes\n[BackUP_Name]\n0000=a_%D.zip\n0001=b_%D.zip\n0002=c.zip\n"
            "0003=%D/d.zip\n[BackUP_Keep]\n0000=0\n0001=3\n0002=2\n0003=2\n7=1\n");
  ASSERT_NE(Find(report, "keep-invalid", "0000"), nullptr);
  EXPECT_NE(Find(report, "keep-invalid", "0000")->message.find("\"0\""), std::string::npos);
  EXPECT_EQ(Find(report, "keep-invalid", "0001"), nullptr);
  ASSERT_NE(Find(report, "keep-without-stamp", "0002"), nullptr);
  EXPECT_EQ(Find(report, "keep-without-stamp", "0002")->section, "BackUP_Keep");
  ASSERT_NE(Find(report, "keep-without-stamp", "0003"), nullptr);
  EXPECT_NE(Find(report, "keep-without-stamp", "0003")->message.find("in a folder"),
            std::string::npos);
  EXPECT_NE(Find(report, "not-a-slot-key", "7"), nullptr) << "the section's keys are slot keys";
  EXPECT_EQ(Find(report, "unknown-section"), nullptr);
  EXPECT_EQ(report.slots[1].keep, 3u);
  EXPECT_EQ(report.slots[0].keep, 0u);
  EXPECT_EQ(check::ExitStatus(report), check::kSomethingFailsOrIsIgnored);
}

TEST_F(InspectTest, TheNextRunsRemovalsAreForeseenFromTheSaveFolderToday) {
  for (const char* name :
       {"a_20261201000000.zip", "a_20261202000000.zip", "a_20261203000000.zip",
        "a_2026120400000.zip", "a_20261304000000.zip", "a_latest.zip", "ab_20200101000000.zip"}) {
    WriteBytes(root_ / "backups" / name, "archive");
  }
  fs::create_directory(root_ / "backups" / "a_20200101000000.zip");
  const std::string slots =
      "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/notes\n[BackUP_Name]\n0000=a_%D.zip\n"
      "0001=a%D.zip\n[BackUP_ConstantName]\n0000=a_latest.zip\n[BackUP_Keep]\n0000=2\n0001=1\n";
  check::Report report = Check(kSaveZip + slots);
  EXPECT_EQ(report.slots[0].keep, 2u);
  EXPECT_EQ(report.slots[0].removes,
            (std::vector<std::string>{"a_20261201000000.zip", "a_20261202000000.zip"}));
  EXPECT_TRUE(report.slots[1].removes.empty()) << "\"a_...\" is not \"a<stamp>\"";
  EXPECT_TRUE(Codes(report).empty()) << ::testing::PrintToString(Codes(report));
  EXPECT_NE(check::TextReport(report).find(
                "keeps   the newest 2; the next run removes a_20261201000000.zip,"),
            std::string::npos)
      << check::TextReport(report);

  // A slot that fails removes nothing.
  report = Check(
      "[BackUP_Save]\nSavePath=@/backups\nArchiveType=ZIP\n[BackUP_Target]\n"
      "0000=@/data/notes\n[BackUP_Name]\n0000=a_%D.zip\"\n[BackUP_Keep]\n0000=1\n");
  EXPECT_EQ(report.slots[0].outcome, check::Outcome::kFails);
  EXPECT_TRUE(report.slots[0].removes.empty());
}

TEST_F(InspectTest, NamesThatLeaveTheSaveFolderAreAProblem) {
  const check::Report report = Check(kSaveZip +
                                     "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/notes\n"
                                     "0002=@/data/notes\n0003=@/data/notes\n"
                                     "[BackUP_Name]\n0000=../out_%D.zip\n0001=/abs.zip\n"
                                     "0002=sub/../../x.zip\n0003=fine/y.zip\n"
                                     "[BackUP_ConstantName]\n0003=..\\latest.zip\n");
  for (const char* key : {"0000", "0001", "0002"}) {
    const check::Finding* finding = Find(report, "leaves-save-folder", key);
    ASSERT_NE(finding, nullptr) << key;
    EXPECT_EQ(finding->section, "BackUP_Name");
  }
  const check::Finding* fixed = Find(report, "leaves-save-folder", "0003");
  ASSERT_NE(fixed, nullptr) << "a backslash separates too";
  EXPECT_EQ(fixed->section, "BackUP_ConstantName");
  EXPECT_NE(report.findings.front().message.find(Path("backups")), std::string::npos);
  ExpectInBothForms(report, *fixed);
}

TEST_F(InspectTest, AnArchiverLibraryThatCannotBeLoadedEndsTheRunAtItsFirstSlot) {
  archivers_.missing = {Unlha32::Library::kSevenZip};
  const check::Report report = Check(kSaveZip +
                                     "[BackUP_Target]\n0000=@/data/notes\n0001=@/data/仕事\n"
                                     "[BackUP_Name]\n0000=a.zip\n0001=b.zip\n");
  ASSERT_EQ(report.slots.size(), 2u);
  EXPECT_EQ(report.slots[0].outcome, check::Outcome::kEndsRun);
  EXPECT_EQ(report.slots[1].outcome, check::Outcome::kNotReached);
  const check::Finding* finding = Find(report, "archiver-not-loadable");
  ASSERT_NE(finding, nullptr);
  EXPECT_EQ(finding->key, "ArchiveType");
  EXPECT_NE(finding->message.find("Cannot load 7-zip32: no such file (fake)"), std::string::npos)
      << "the loader's reason";
  ExpectInBothForms(report, *finding);
  EXPECT_TRUE(archivers_.calls.empty()) << "loaded, never called";

  const check::Report lha = Check(
      "[BackUP_Save]\nSavePath=@/backups\nArchiveType=LHA\n"
      "[BackUP_Target]\n0000=@/data/notes\n[BackUP_Name]\n0000=a.lzh\n");
  EXPECT_EQ(Find(lha, "archiver-not-loadable"), nullptr) << "only the library the type runs";
  const check::Report none = Check(
      "[BackUP_Save]\nSavePath=@/backups\nArchiveType=none\n"
      "[BackUP_Target]\n0000=@/data/notes\n[BackUP_Name]\n0000=a.zip\n");
  EXPECT_EQ(Find(none, "archiver-not-loadable"), nullptr);
}

TEST_F(InspectTest, WalksStopWhenTheirTimeIsUpAndCanBeLeftOut) {
  for (int i = 0; i < 3000; ++i) {
    WriteBytes(root_ / "data" / "notes" / std::to_string(i), "x");
  }
  const std::string text =
      kSaveZip + "[BackUP_Target]\n0000=@/data/notes\n[BackUP_Name]\n0000=n.zip\n";
  Check(text);
  check::Options brief;
  brief.walkTime = std::chrono::milliseconds(1);
  const check::Report cut = check::Inspect(Path("slotbackup.ini"), kNow, archivers_, brief);
  ASSERT_EQ(cut.slots.size(), 1u);
  ASSERT_TRUE(cut.slots[0].walk.has_value());
  EXPECT_FALSE(cut.slots[0].walk->complete);
  EXPECT_LT(cut.slots[0].walk->files, 3000u);
  const check::Finding* note = Find(cut, "walk-cut-short");
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->severity, check::Severity::kNote);
  EXPECT_EQ(check::ExitStatus(cut), check::kAllWillBeDone);
  ExpectInBothForms(cut, *note);

  const check::Report full = Check(text);
  EXPECT_TRUE(full.slots[0].walk->complete);
  EXPECT_EQ(full.slots[0].walk->files, 3000u);
  check::Options none;
  none.walkTime = std::chrono::milliseconds(0);
  EXPECT_FALSE(
      check::Inspect(Path("slotbackup.ini"), kNow, archivers_, none).slots[0].walk.has_value());
}

// ------------------------------------------------------------ what runs left

TEST_F(InspectTest, TheLastRunsFailuresComeWithTheirReasons) {
  const std::string when = "2026/12/07 22:00:05";
  AppModule::ReportFiles files;
  files.settingsFile = Path("slotbackup.ini");
  files.logFile = Path("slotbackup.log");
  files.standardError = nullptr;
  Check(kSaveZip + "[BackUP_Target]\n0000=@/data/notes\n[BackUP_Name]\n0000=n.zip\n");
  AppModule::RecordFailedSlot(files, "0000", Path("data/notes"), "cannot read x: Permission denied",
                              when);
  AppModule::RecordRecovery(files, "Restored:" + Path("data/notes") + "\tAttributes:17", when);
  AppModule::RecordRetention(files, "Removed:" + Path("backups/n_20261206220005.zip"), when, "");
  check::Options quick;
  const check::Report report = check::Inspect(Path("slotbackup.ini"), kNow, archivers_, quick);
  ASSERT_EQ(report.newestErrorLog.size(), 1u);
  EXPECT_EQ(report.newestErrorLog[0].reason, "cannot read x: Permission denied");
  ASSERT_TRUE(report.slots[0].lastFailure.has_value());
  EXPECT_EQ(report.slots[0].lastFailure->key, when);
  EXPECT_EQ(report.recoveryCount, 1);
  EXPECT_EQ(report.newestRecovery[0].value, "Restored:" + Path("data/notes") + "\tAttributes:17");
  EXPECT_EQ(report.retentionCount, 1);
  const std::string text = check::TextReport(report);
  EXPECT_NE(text.find("Archives runs removed to keep the newest: 1 entry"), std::string::npos)
      << text;
}

TEST_F(InspectTest, EveryRecordIsCountedHoweverLongTheSection) {
  // A section listing through the profile functions stops at the size of its
  // area; the records are read whole.
  std::string log = "[Error_LOG]\n";
  for (int i = 0; i < 3000; ++i) log += "2026/01/01 00:00:00 (" + std::to_string(i) + ")=@/t\n";
  log += "2026/12/31 23:59:59=@/newest\n";
  const check::Report report = Check(kSaveZip + log);
  EXPECT_EQ(report.errorLogCount, 3001);
  ASSERT_FALSE(report.newestErrorLog.empty());
  EXPECT_EQ(report.newestErrorLog[0].value, Path("newest"));
}

TEST_F(InspectTest, ARunInProgressAndAFolderAnInterruptedRunLeftClearedAreNoted) {
  const std::string text =
      kSaveZip + "[BackUP_Target]\n0000=@/data/notes\n[BackUP_Name]\n0000=n.zip\n";
  {
    AppModule::RunLock running(Path("slotbackup.lock"), std::chrono::milliseconds(0));
    const check::Report report = Check(text);
    const check::Finding* note = Find(report, "run-in-progress");
    ASSERT_NE(note, nullptr);
    EXPECT_NE(note->message.find("process "), std::string::npos) << note->message;
    EXPECT_EQ(check::ExitStatus(report), check::kAllWillBeDone);
  }
  EXPECT_EQ(Find(Check(text), "run-in-progress"), nullptr) << "the lock is free again";

  clsIniFile recovery;
  recovery.FileName(Path("slotbackup.recovery"));
  recovery.Section(AppModule::kClearedFolderSection);
  recovery.SetString("0000", AppModule::FormatRecord({17, Path("data/notes")}));
  const check::Report left = Check(text);
  const check::Finding* cleared = Find(left, "folder-left-cleared");
  ASSERT_NE(cleared, nullptr);
  EXPECT_NE(cleared->message.find(Path("data/notes")), std::string::npos);
  EXPECT_NE(cleared->message.find("17"), std::string::npos);
  ExpectInBothForms(left, *cleared);
}

TEST_F(InspectTest, LinesTheRunNeverReadsAreNamedByNumber) {
  const check::Report report = Check("stray=1\n" + kSaveZip + "Extra=2\n");
  const check::Finding* stray = Find(report, "outside-section");
  ASSERT_NE(stray, nullptr);
  EXPECT_EQ(stray->line, 1u);
  const check::Finding* extra = Find(report, "unknown-key", "Extra");
  ASSERT_NE(extra, nullptr);
  EXPECT_EQ(extra->line, 5u);
  EXPECT_NE(check::TextReport(report).find("line 5: In [BackUP_Save] the key Extra"),
            std::string::npos);
  EXPECT_NE(check::JsonReport(report).find("\"line\":5"), std::string::npos);
}

TEST_F(InspectTest, BytesNotInTheSystemsCodePageAreNamedByLine) {
  // "日本" in Shift-JIS, as Japanese Windows saves it; where that is the
  // system's code page, bytes no character of it starts with.
  std::string shiftJis = "\x93\xfa\x96\x7b";
  if (platform::InvalidBytes(shiftJis).empty()) shiftJis = "\xfd\xfe\xff";
  ASSERT_FALSE(platform::InvalidBytes(shiftJis).empty());
  WriteBytes(root_ / "slotbackup.ini",
             "[BackUP_Save]\nSavePath=" + Path("backups") + "\nArchiveType=ZIP\n" +
                 "[BackUP_Target]\n0000=" + Path("data/") + shiftJis +
                 "\n0001=" + Path("data/notes") + "\n[BackUP_Name]\n0000=" + shiftJis +
                 "_%D.zip\n0001=notes.zip\n");
  const check::Report report = check::Inspect(Path("slotbackup.ini"), kNow, archivers_);
  const check::Finding* finding = Find(report, "not-in-code-page");
  ASSERT_NE(finding, nullptr) << ::testing::PrintToString(Codes(report));
  EXPECT_EQ(finding->line, 5u);
  EXPECT_NE(finding->message.find("Lines 5 and 8 hold bytes"), std::string::npos)
      << finding->message;
  ExpectInBothForms(report, *finding);
  // The folder is named in UTF-8 on disk: those bytes name none.
  EXPECT_NE(Find(report, "target-missing", "0000"), nullptr);

  WriteBytes(root_ / "slotbackup.ini",
             kSaveZip.substr(0, kSaveZip.find('@')) + Path("backups") + "\nArchiveType=ZIP\n");
  EXPECT_EQ(Find(check::Inspect(Path("slotbackup.ini"), kNow, archivers_), "not-in-code-page"),
            nullptr);
}

TEST_F(InspectTest, AUtf16SettingsFileIsExplainedLineByLine) {
  const std::string text =
      "[BackUP_Save]\r\nSavePath=" + Path("backups") +
      "\r\nArchiveType=ZIP\r\nCompression=9\r\n[BackUP_Target]\r\n0000=" + Path("data/notes") +
      "\r\n[BackUP_Name]\r\n0000=notes.zip\r\n";
  std::string bytes = "\xFF\xFE";  // as Notepad saves "Unicode"; the text is ASCII
  for (const char c : text) {
    bytes += c;
    bytes += '\0';
  }
  WriteBytes(root_ / "slotbackup.ini", bytes);
  const check::Report report = check::Inspect(Path("slotbackup.ini"), kNow, archivers_);
  const check::Finding* unknown = Find(report, "unknown-key", "Compression");
  ASSERT_NE(unknown, nullptr) << ::testing::PrintToString(Codes(report));
  EXPECT_EQ(unknown->line, 4u);
  EXPECT_EQ(Find(report, "not-in-code-page"), nullptr);
  ASSERT_EQ(report.slots.size(), 1u);
  EXPECT_EQ(report.slots[0].outcome, check::Outcome::kArchive);
}

}  // namespace
