// The run's rules for the settings file, as the plan states them: slot keys,
// the archive-type rule, names and where they lie, the format, the command
// line, the quote refusal, and the folders the slots write into.
#include "run/slot_plan.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/codepage.h"
#include "platform/program.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

using namespace AppModule;

const platform::LocalTime kNow{2026, 12, 7, 22, 0, 5};
const std::string kStamp = "20261207220005";
const std::string kSep(1, platform::kPathSeparator);

class SlotPlanTest : public ::testing::Test {
 protected:
  clsIniFile& Settings(const std::string& text) {
    test_support::WriteBytes(file_, platform::ToMultiByte(text));
    ini_.FileName(test_support::Utf8Of(file_));
    return ini_;
  }
  SlotPlan Plan(const std::string& text, int32_t slot) {
    clsIniFile& settings = Settings(text);
    return PlanSlot(settings, ReadSaveSettings(settings), slot, kNow);
  }

  test_support::ScratchFolder folder_;
  fs::path file_ = folder_ / "slotbackup.ini";
  clsIniFile ini_;
};

TEST(SlotKeys, AreExactlyFourDigitsBelowTheSlotCount) {
  EXPECT_EQ(SlotKey(0), "0000");
  EXPECT_EQ(SlotKey(99), "0099");
  EXPECT_EQ(FormOfKey("0000"), KeyForm::kSlot);
  EXPECT_EQ(FormOfKey("0099"), KeyForm::kSlot);
  EXPECT_EQ(FormOfKey("0100"), KeyForm::kBeyondLastSlot);
  EXPECT_EQ(FormOfKey("9999"), KeyForm::kBeyondLastSlot);
  for (const char* key : {"7", "007", "00007", "00a1", "", "+001", " 001"}) {
    EXPECT_EQ(FormOfKey(key), KeyForm::kNotSlotKey) << key;
  }
}

TEST_F(SlotPlanTest, OnlyLhaOrZipAfterUpperCasingChooseALibrary) {
  struct Case {
    const char* line;
    ArchiveType type;
    const char* compared;
  };
  for (const Case& c : {Case{"ArchiveType=lha", ArchiveType::kLha, "LHA"},
                        Case{"archivetype = Zip ", ArchiveType::kZip, "ZIP"},
                        Case{"ArchiveType=\" ZIP\"", ArchiveType::kNone, " ZIP"},
                        Case{"ArchiveType='LHA '", ArchiveType::kNone, "LHA "},
                        Case{"ArchiveType=ＺＩＰ", ArchiveType::kNone, "ＺＩＰ"},
                        Case{"ArchiveType=", ArchiveType::kNone, ""}}) {
    const SaveSettings save =
        ReadSaveSettings(Settings("[BackUP_Save]\nSavePath=/s\n" + std::string(c.line) + "\n"));
    EXPECT_EQ(save.type, c.type) << c.line;
    EXPECT_EQ(save.archiveType, c.compared) << c.line;
    EXPECT_EQ(save.savePath, "/s");
  }
}

TEST_F(SlotPlanTest, AnArchiveSlotNamesItsLibraryFormatPathsAndCommandLine) {
  const std::string slots =
      "[BackUP_Target]\n0003=/data/仕事\n[BackUP_Name]\n0003=仕事 %D.zip\n"
      "[BackUP_ConstantName]\n0003=sub/latest.zip\n";
  const SlotPlan zip = Plan("[BackUP_Save]\nSavePath=/save\nArchiveType=zip\n" + slots, 3);
  EXPECT_EQ(zip.action, SlotAction::kArchive);
  EXPECT_TRUE(zip.Runs());
  EXPECT_EQ(zip.key, "0003");
  EXPECT_EQ(zip.name, "仕事 " + kStamp + ".zip");
  EXPECT_EQ(zip.archivePath, "/save" + kSep + "仕事 " + kStamp + ".zip");
  EXPECT_EQ(zip.constantPath, "/save" + kSep + "sub/latest.zip");
  EXPECT_EQ(zip.library, Unlha32::Library::kSevenZip);
  EXPECT_EQ(zip.format, ArchiveFormat::kZip);
  EXPECT_EQ(zip.commandLine, "a \"" + zip.archivePath + "\" \"/data/仕事\"");
  EXPECT_EQ(zip.Folders(), (std::vector<std::string>{"/save", "/save" + kSep + "sub"}));

  const SlotPlan lha = Plan("[BackUP_Save]\nSavePath=/save\nArchiveType=LHA\n" + slots, 3);
  EXPECT_EQ(lha.library, Unlha32::Library::kUnlha);
  EXPECT_EQ(lha.format, ArchiveFormat::kLha) << "the LHA library writes LHA whatever the name";
  EXPECT_EQ(lha.commandLine, "a  -r2 -x1 \"" + lha.archivePath + "\" \"/data/仕事\"");
}

TEST_F(SlotPlanTest, SevenZipWritesZipOnlyForANameEndingInDotZip) {
  for (const auto& [name, format] :
       std::vector<std::pair<std::string, ArchiveFormat>>{{"a.zip", ArchiveFormat::kZip},
                                                          {"a.ZiP", ArchiveFormat::kZip},
                                                          {".zip", ArchiveFormat::kZip},
                                                          {"a.7z", ArchiveFormat::kSevenZ},
                                                          {"a.zip.bak", ArchiveFormat::kSevenZ},
                                                          {"azip", ArchiveFormat::kSevenZ},
                                                          {"a.lzh", ArchiveFormat::kSevenZ}}) {
    const SlotPlan plan = Plan(
        "[BackUP_Save]\nSavePath=/s\nArchiveType=ZIP\n[BackUP_Target]\n0000=/t\n"
        "[BackUP_Name]\n0000=" +
            name + "\n",
        0);
    EXPECT_EQ(plan.format, format) << name;
  }
  EXPECT_STREQ(FormatName(ArchiveFormat::kSevenZ), "7z");
  EXPECT_STREQ(FormatName(ArchiveFormat::kNone), "");
}

TEST_F(SlotPlanTest, SlotsWithoutTargetOrNameAreSkippedAndSaySo) {
  const std::string text =
      "[BackUP_Save]\nSavePath=/s\nArchiveType=ZIP\n"
      "[BackUP_Target]\n0001=/t\n0004=\n"
      "[BackUP_Name]\n0002=n.zip\n0004=n.zip\n[BackUP_ConstantName]\n0003=c.zip\n";
  EXPECT_EQ(Plan(text, 0).action, SlotAction::kUnused);
  EXPECT_EQ(Plan(text, 1).action, SlotAction::kNoName);
  EXPECT_EQ(Plan(text, 2).action, SlotAction::kNoTarget);
  EXPECT_EQ(Plan(text, 3).action, SlotAction::kNoTarget) << "a fixed name alone";
  EXPECT_EQ(Plan(text, 4).action, SlotAction::kNoTarget) << "an empty target is none";
  for (int32_t slot = 0; slot < 5; ++slot) EXPECT_FALSE(Plan(text, slot).Runs());
}

TEST_F(SlotPlanTest, AnyOtherTypeRunsNoArchiverAndChecksNoQuotes) {
  const SlotPlan plan = Plan(
      "[BackUP_Save]\nSavePath=/s\"q\nArchiveType=TAR\n[BackUP_Target]\n0000=/t\n"
      "[BackUP_Name]\n0000=n.zip\n",
      0);
  EXPECT_EQ(plan.action, SlotAction::kNoArchiver);
  EXPECT_TRUE(plan.Runs());
  EXPECT_EQ(plan.format, ArchiveFormat::kNone);
  EXPECT_EQ(plan.commandLine, "");
}

TEST_F(SlotPlanTest, ADoubleQuoteInAnyPathOnTheCommandLineRefusesTheSlot) {
  struct Case {
    std::string save, name, target;
    QuotedPath quoted;
    std::string where;
  };
  for (const Case& c : {Case{"/s\"", "n.zip", "/t", QuotedPath::kSaveFolder, "the save folder"},
                        Case{"/s", "n\" -x.zip", "/t", QuotedPath::kName, "the archive name"},
                        Case{"/s", "n.zip", "/t\"", QuotedPath::kTarget, "the target folder"}}) {
    const SlotPlan plan =
        Plan("[BackUP_Save]\nSavePath=" + c.save +
                 "\nArchiveType=LHA\n[BackUP_Target]\n0000=" + c.target +
                 "\n[BackUP_Name]\n0000=" + c.name + "\n[BackUP_ConstantName]\n0000=l\"q.zip\n",
             0);
    EXPECT_EQ(plan.action, SlotAction::kRefused) << c.where;
    EXPECT_EQ(plan.quoted, c.quoted);
    EXPECT_EQ(plan.commandLine, "") << "a refused line is never built";
    EXPECT_NE(plan.Refusal().find(c.where), std::string::npos) << plan.Refusal();
  }
  // The fixed name is no part of the command line.
  EXPECT_EQ(Plan("[BackUP_Save]\nSavePath=/s\nArchiveType=LHA\n[BackUP_Target]\n0000=/t\n"
                 "[BackUP_Name]\n0000=n.lzh\n[BackUP_ConstantName]\n0000=l\"q.lzh\n",
                 0)
                .action,
            SlotAction::kArchive);
}

TEST_F(SlotPlanTest, FoldersWrittenIntoCoverTheSaveFolderAndEverySlotThatRuns) {
  clsIniFile& settings = Settings(
      "[BackUP_Save]\nSavePath=/s\nArchiveType=NONE\n"
      "[BackUP_Target]\n0000=/t\n0001=/t\n0002=/t\n"
      "[BackUP_Name]\n0000=a/%D.zip\n0001=b.zip\n0003=skipped/x.zip\n"
      "[BackUP_ConstantName]\n0001=c/latest.zip\n0002=d/never.zip\n");
  EXPECT_EQ(FoldersWrittenInto(settings, ReadSaveSettings(settings), kNow),
            (std::vector<std::string>{"/s", "/s" + kSep + "a", "/s", "/s" + kSep + "c"}));
}

TEST(ParseKeep, TakesOnlyAWholeNumberOfAtLeastOne) {
  EXPECT_EQ(ParseKeep("1"), 1u);
  EXPECT_EQ(ParseKeep("30"), 30u);
  EXPECT_EQ(ParseKeep("007"), 7u);
  EXPECT_EQ(ParseKeep("99999999999999999999999"), UINT64_MAX);  // keeps everything
  for (const char* text : {"", "0", "000", "-1", "+3", "2.5", "1e3", "three", " 3", "3 ", "３"}) {
    EXPECT_FALSE(ParseKeep(text)) << text;
  }
}

TEST_F(SlotPlanTest, KeepingNeedsAValidNumberAndAStampInTheFileName) {
  struct Case {
    const char* name;
    const char* keep;  // nullptr: no line
    KeepRule rule;
    uint64_t kept;
    const char* fileTemplate;
  };
  const std::string sub = "sub" + kSep;
  for (const Case& c : {Case{"a_%D.zip", nullptr, KeepRule::kAll, 0, "a_%D.zip"},
                        Case{"a_%D.zip", "3", KeepRule::kNewest, 3, "a_%D.zip"},
                        Case{"a_%D.zip", " 3 ", KeepRule::kNewest, 3, "a_%D.zip"},
                        Case{"a_%D.zip", "0", KeepRule::kInvalid, 0, "a_%D.zip"},
                        Case{"a_%D.zip", "two", KeepRule::kInvalid, 0, "a_%D.zip"},
                        Case{"a.zip", "3", KeepRule::kWithoutStamp, 0, ""},
                        Case{"a_%d.zip", "3", KeepRule::kWithoutStamp, 0, ""},
                        Case{"%D/a.zip", "3", KeepRule::kWithoutStamp, 0, ""},
                        Case{"sub/a_%D.zip", "2", KeepRule::kNewest, 2, "a_%D.zip"}}) {
    const std::string text =
        "[BackUP_Save]\nSavePath=/s\nArchiveType=ZIP\n[BackUP_Target]\n0004=/t\n"
        "[BackUP_Name]\n0004=" +
        std::string(c.name) + "\n" +
        (c.keep ? "[BackUP_Keep]\n0004=" + std::string(c.keep) + "\n" : "");
    const SlotPlan plan = Plan(text, 4);
    const std::string what = std::string(c.name) + " keep " + (c.keep ? c.keep : "(none)");
    EXPECT_EQ(plan.keepRule, c.rule) << what;
    EXPECT_EQ(plan.keep, c.kept) << what;
    EXPECT_EQ(plan.fileTemplate, c.fileTemplate) << what;
  }
  const SlotPlan plan = Plan(
      "[BackUP_Save]\nSavePath=/s\nArchiveType=ZIP\n[BackUP_Target]\n0000=/t\n"
      "[BackUP_Name]\n0000=sub/a_%D.zip\n[BackUP_ConstantName]\n0000=sub/latest.zip\n",
      0);
  EXPECT_EQ(plan.archiveFolder, "/s" + kSep + "sub");
  EXPECT_EQ(plan.ArchiveFileName(), "a_" + kStamp + ".zip");
  EXPECT_EQ(plan.CopyInArchiveFolder(), "latest.zip");
}

TEST(ParentFolder, KeepsARootsSeparatorAndTakesEitherSeparator) {
  EXPECT_EQ(ParentFolder("/x"), "/");
  EXPECT_EQ(ParentFolder("/a/b/c.zip"), "/a/b");
  EXPECT_EQ(ParentFolder("name.zip"), ".");
  EXPECT_EQ(ParentFolder("a/b\\c.zip"), platform::kPathSeparator == '\\' ? "a/b" : "a");
}

}  // namespace
