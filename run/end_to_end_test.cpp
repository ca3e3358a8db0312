// The built program, run as a scheduler runs it: from a folder of its own
// holding slotbackup.ini and the archiver libraries, with an empty
// environment. Archives are checked with independent readers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "run/installation_fixture.h"

namespace {

using namespace slotbackup_test;

// ---------------------------------------------------------------- archives

using RealArchives = Installation;

TEST_F(RealArchives, LhaRunWritesArchivesThatEveryReaderVerifies) {
  InstallRealArchivers();
  const fs::path target = Target("仕事 2024");
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0003=" + target.string() +
           "\n[BackUP_Name]\n0003=仕事 %D.lzh\n[BackUP_ConstantName]\n0003=最新.lzh\n");
  ASSERT_EQ(Run(), 0) << output_ << Read(program_ / "slotbackup.log");
  const fs::path latest = save_ / "最新.lzh";
  ASSERT_TRUE(fs::exists(latest));
  EXPECT_EQ(Mismatch(latest, {target}), "");
  std::string text;
  EXPECT_EQ(Shell("lhasa t " + Quoted(latest), &text), 0) << text;
  EXPECT_EQ(Shell("7zz t " + Quoted(latest), &text), 0) << text;
  int stamped = 0;
  for (const auto& e : fs::directory_iterator(save_)) {
    stamped += std::regex_match(e.path().filename().string(), std::regex("仕事 \\d{14}\\.lzh"));
  }
  EXPECT_EQ(stamped, 1);
  EXPECT_FALSE(fs::exists(program_ / "slotbackup.log"));
}

TEST_F(RealArchives, ZipRunWritesArchivesThatEveryReaderVerifies) {
  InstallRealArchivers();
  const fs::path target = Target("My Documents");
  Settings(SaveSection("Zip") + "[BackUP_Target]\n0000=" + target.string() +
           "\n[BackUP_Name]\n0000=docs %D.zip\n[BackUP_ConstantName]\n0000=docs latest.zip\n");
  ASSERT_EQ(Run(), 0) << output_ << Read(program_ / "slotbackup.log");
  const fs::path latest = save_ / "docs latest.zip";
  EXPECT_EQ(Mismatch(latest, {target}), "");
  std::string text;
  EXPECT_EQ(Shell("unzip -t " + Quoted(latest), &text), 0) << text;
  EXPECT_EQ(Shell("7zz t " + Quoted(latest), &text), 0) << text;
  EXPECT_EQ(Shell("7zz l " + Quoted(latest), &text), 0) << text;
  EXPECT_NE(text.find("My Documents/報告書.txt"), std::string::npos) << text;
}

TEST_F(RealArchives, ALinkedTargetIsBackedUpAndASocketOrFifoInsideIsPassedOver) {
  InstallRealArchivers();
  const fs::path real = Target("on another disk");
  ASSERT_EQ(mkfifo((real / "pipe").c_str(), 0600), 0);
  const fs::path link = data_ / "Documents";
  fs::create_directory_symlink(real, link);
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + link.string() +
           "\n[BackUP_Name]\n0000=docs.zip\n");
  ASSERT_EQ(Run(), 0) << Read(program_ / "slotbackup.log");
  std::string listing;
  ASSERT_EQ(Shell("unzip -l " + Quoted(save_ / "docs.zip"), &listing), 0) << listing;
  EXPECT_NE(listing.find("Documents/報告書.txt"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("pipe"), std::string::npos) << listing;
}

// ---------------------------------------------------------------- the slots

TEST_F(Installation, ASettingsFileWithoutTargetsRunsNothingAndWritesNothing) {
  InstallFakeArchivers();
  Settings(SaveSection("LHA"));
  const std::string before = Read(program_ / "slotbackup.ini");
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(Read(program_ / "slotbackup.ini"), before);
  EXPECT_FALSE(fs::exists(program_ / "slotbackup.log"));
}

TEST_F(Installation, SlotsAreExactlyFourDigitKeysRunInOrderAndCommandLinesAreExact) {
  InstallFakeArchivers();
  const fs::path a = Target("a"), b = Target("b b"), c = Target("c");
  Settings(SaveSection("lha") + "[BackUP_Target]\n7=" + c.string() + "\n0100=" + c.string() +
           "\n0099=" + b.string() + "\n0007=" + a.string() + "\n0010=" + c.string() +
           "\n[BackUP_Name]\n0007=a.lzh\n0099=b %d.lzh\n");
  EXPECT_EQ(Run(), 0) << Read(program_ / "slotbackup.log");
  const std::string save = save_.string();
  EXPECT_EQ(Calls(), (std::vector<std::string>{
                         "a  -r2 -x1 \"" + save + "/a.lzh\" \"" + a.string() + "\"",
                         "a  -r2 -x1 \"" + save + "/b %d.lzh\" \"" + b.string() + "\""}));
}

TEST_F(Installation, NameTemplatesGetTheStampAtTheirFirstToken) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  std::string targets = "[BackUP_Target]\n", names = "[BackUP_Name]\n";
  const std::vector<std::string> templates = {"pre-%D-post.zip", "%D", "x%D%D.zip", "plain.zip"};
  for (size_t i = 0; i < templates.size(); ++i) {
    targets += "000" + std::to_string(i) + "=" + t.string() + "\n";
    names += "000" + std::to_string(i) + "=" + templates[i] + "\n";
  }
  Settings(SaveSection("ZIP") + targets + names);
  EXPECT_EQ(Run(), 0);
  const auto calls = Calls();
  ASSERT_EQ(calls.size(), 4u);
  const std::string head = "a \"" + save_.string() + "/";
  const std::string tail = "\" \"" + t.string() + "\"";
  EXPECT_TRUE(std::regex_match(calls[0], std::regex(".*/pre-\\d{14}-post\\.zip\" .*"))) << calls[0];
  EXPECT_TRUE(std::regex_match(calls[1], std::regex(".*/\\d{14}\" .*"))) << calls[1];
  EXPECT_TRUE(std::regex_match(calls[2], std::regex(".*/x\\d{14}%D\\.zip\" .*"))) << calls[2];
  EXPECT_EQ(calls[3], head + "plain.zip" + tail);
}

TEST_F(Installation, AnArchiveTypeWithALeadingBlankOrUnknownRunsNoArchiver) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  fs::permissions(t, fs::perms::owner_write, fs::perm_options::remove);
  for (const std::string& type : {std::string(" LHA"), std::string("TAR"), std::string()}) {
    // Windows keeps a blank inside quotes; the run trims nothing.
    Settings(SaveSection("\"" + type + "\"") + "[BackUP_Target]\n0001=" + t.string() +
             "\n[BackUP_Name]\n0001=t.lzh\n");
    EXPECT_EQ(Run(), 0) << type;
  }
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(fs::status(t).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(Installation, AnUnknownTypeWithAFixedNameRefreshesItFromAnOldArchive) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  Write(save_ / "same.zip", "archive of an earlier run");
  Write(save_ / "latest.zip", "older copy");
  Settings(SaveSection("NONE") + "[BackUP_Target]\n0001=" + t.string() +
           "\n[BackUP_Name]\n0001=same.zip\n[BackUP_ConstantName]\n0001=latest.zip\n");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Read(save_ / "latest.zip"), "archive of an earlier run");
}

TEST_F(Installation, ACopyWithoutSourceTakesTheErrorPathAndKeepsTheOldCopy) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  Write(save_ / "latest.zip", "older copy");
  Settings(SaveSection("NONE") + "[BackUP_Target]\n0001=" + t.string() + "\n0002=" + t.string() +
           "\n[BackUP_Name]\n0001=new %D.zip\n0002=x.zip\n[BackUP_ConstantName]\n"
           "0001=latest.zip\n");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(Read(save_ / "latest.zip"), "older copy");
  const auto log = LogFile();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(std::regex_search(log[0], std::regex("=ModuleName:Main\tObjectName:AppModule\t"
                                                   "ErrorInfo:.*new \\d{14}\\.zip")))
      << log[0];
}

// ---------------------------------------------------------------- failures

TEST_F(Installation, AFailedArchiverRunIsRecordedAndTheRunGoesOn) {
  InstallFakeArchivers();
  const fs::path a = Target("a"), b = Target("b");
  fs::permissions(a, fs::perms::owner_write, fs::perm_options::remove);
  Write(save_ / "latest.zip", "previous copy");
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0001=" + a.string() + "\n0002=" + b.string() +
           "\n[BackUP_Name]\n0001=a.zip\n0002=b.zip\n[BackUP_ConstantName]\n0001=latest.zip\n");
  EXPECT_EQ(Run(1), 2);
  EXPECT_EQ(Calls().size(), 2u);
  const auto entries = ErrorLog();
  ASSERT_EQ(entries.size(), 2u);  // two failures in one second keep both records
  EXPECT_TRUE(
      std::regex_match(entries[0].substr(0, entries[0].find('=')),
                       std::regex("\\d{4}/\\d\\d/\\d\\d( \\d\\d:\\d\\d:\\d\\d)?( \\(2\\))?")))
      << entries[0];
  EXPECT_EQ(entries[0].substr(entries[0].find('=') + 1), a.string());
  EXPECT_EQ(entries[1].substr(entries[1].find('=') + 1), b.string());
  EXPECT_EQ(fs::status(a).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_EQ(Read(save_ / "latest.zip"), "previous copy");
  // The archiver's reasons are beside the entries, under the same keys.
  const auto messages = ArchiverMessages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], entries[0].substr(0, entries[0].find('=')) + "=Target:" + a.string() +
                             "\tMessage:fake archiver");
  EXPECT_TRUE(LogFile().empty());
}

TEST_F(Installation, AQuoteInAPathNeverReachesTheArchiver) {
  InstallFakeArchivers();
  const fs::path bad = Target("bad\" -x \""), good = Target("good");
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0001=" + bad.string() +
           "\n0002=" + good.string() + "\n0003=" + good.string() +
           "\n[BackUP_Name]\n0001=a.lzh\n0002=b\" -x.lzh\n0003=c.lzh\n");
  EXPECT_EQ(Run(), 2);
  ASSERT_EQ(Calls().size(), 1u);
  EXPECT_NE(Calls()[0].find("/c.lzh"), std::string::npos);
  EXPECT_EQ(ErrorLog().size(), 2u);
}

TEST_F(Installation, AMissingTargetEndsTheRunWithOneLogEntry) {
  InstallFakeArchivers();
  const fs::path later = Target("later");
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0001=" + (data_ / "absent").string() +
           "\n0002=" + later.string() + "\n[BackUP_Name]\n0001=a.lzh\n0002=b.lzh\n");
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Calls().empty());
  const std::string log = Read(program_ / "slotbackup.log");
  EXPECT_TRUE(std::regex_match(
      log, std::regex("\\[ErrorDescription\\]\r\n[^\r\n]+=ModuleName:Main\tObjectName:AppModule\t"
                      "ErrorInfo:Path not found: " +
                      std::regex_replace((data_ / "absent").string(),
                                         std::regex("[.^$|()\\[\\]{}*+?\\\\]"), "\\$&") +
                      "\r\n")))
      << log;
}

TEST_F(Installation, AMissingLibraryIsLoggedAndTheFolderGetsItsAttributesBack) {
  const fs::path t = Target("t");
  fs::permissions(t, fs::perms::owner_write, fs::perm_options::remove);
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0001=" + t.string() +
           "\n[BackUP_Name]\n0001=a.lzh\n");
  EXPECT_EQ(Run(), 1);
  const auto log = LogFile();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("Unlha32"), std::string::npos) << log[0];
  EXPECT_EQ(fs::status(t).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(Installation, AReadOnlyFixedNameCopyIsKeptAndTheErrorLogged) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  Write(save_ / "same.zip", "new archive");
  Write(save_ / "latest.zip", "older copy");
  fs::permissions(save_ / "latest.zip", fs::perms::owner_read);
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0001=" + t.string() +
           "\n[BackUP_Name]\n0001=same.zip\n[BackUP_ConstantName]\n0001=latest.zip\n");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(Read(save_ / "latest.zip"), "older copy");
  EXPECT_EQ(LogFile().size(), 1u);
}

}  // namespace
