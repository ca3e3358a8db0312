// The built program, run as a scheduler runs it: from a folder of its own
// holding slotbackup.ini and the archiver libraries, with an empty
// environment. Archives are checked with independent readers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <random>
#include <regex>

#include "platform/codepage.h"
#include "run/installation_fixture.h"
#include "testing/support.h"

namespace {

using namespace slotbackup_test;

// ---------------------------------------------------------------- archives

using RealArchives = Installation;

TEST_F(RealArchives, LhaRunWritesArchivesThatEveryReaderVerifies) {
  InstallRealArchivers();
  const fs::path target = Target("仕事 2024");
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0003=" + target.string() +
           "\n[BackUP_Name]\n0003=仕事 %D.lzh\n[BackUP_ConstantName]\n0003=最新.lzh\n");
  ASSERT_EQ(Run(), 0) << output_ << ReadBytes(program_ / "slotbackup.log");
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
  ASSERT_EQ(Run(), 0) << output_ << ReadBytes(program_ / "slotbackup.log");
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
  ASSERT_EQ(Run(), 0) << ReadBytes(program_ / "slotbackup.log");
  std::string listing;
  ASSERT_EQ(Shell("unzip -l " + Quoted(save_ / "docs.zip"), &listing), 0) << listing;
  EXPECT_NE(listing.find("Documents/報告書.txt"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("pipe"), std::string::npos) << listing;
}

// Names in Latin-1 bytes, which are not UTF-8, as a folder copied from an old
// system has them; the program runs with an empty environment, so its code
// page is UTF-8.
const std::string kLatin1Folder = "caf\xE9 r\xE9sum\xE9";
const std::string kLatin1File = "na\xEFve.txt";

TEST_F(RealArchives, AFolderNamedInLatin1BytesIsArchivedAndRestoredUnderItsOwnName) {
  InstallRealArchivers();
  const fs::path target = Target(kLatin1Folder);
  WriteBytes(target / kLatin1File, "caf\xE9\n");
  const fs::path save = root_ / "sauvegard\xE9";
  fs::create_directories(save);
  Settings("[BackUP_Save]\nSavePath=" + save.string() +
           "\nArchiveType=ZIP\n[BackUP_Target]\n0000=" + target.string() +
           "\n[BackUP_Name]\n0000=d\xE9j\xE0 %D.zip\n[BackUP_ConstantName]\n"
           "0000=derni\xE8re.zip\n");
  ASSERT_EQ(Run(), 0) << output_ << ReadBytes(program_ / "slotbackup.log");
  const fs::path latest = save / "derni\xE8re.zip";
  ASSERT_TRUE(fs::exists(latest));
  EXPECT_EQ(Mismatch(latest, {target}), "");  // bsdtar
  const fs::path out = root_ / "unzip";
  std::string text;
  ASSERT_EQ(Shell("unzip -q " + Quoted(latest) + " -d " + Quoted(out), &text), 0) << text;
  EXPECT_EQ(ReadBytes(out / kLatin1Folder / kLatin1File), "caf\xE9\n");
  EXPECT_EQ(Shell("7zz t " + Quoted(latest), &text), 0) << text;
  int stamped = 0;
  for (const auto& e : fs::directory_iterator(save)) {
    stamped +=
        std::regex_match(e.path().filename().string(), std::regex("d\xE9j\xE0 \\d{14}\\.zip"));
  }
  EXPECT_EQ(stamped, 1);
}

// Whatever the LHA library makes of such names, the run never loses the
// slot silently: either the archive restores under the original bytes, or
// the failure is recorded under exactly the target the file names.
TEST_F(RealArchives, ALatin1FolderGivenToLhaIsArchivedOrItsFailureRecordedUnderItsName) {
  InstallRealArchivers();
  const fs::path target = Target(kLatin1Folder);
  WriteBytes(target / kLatin1File, "caf\xE9\n");
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0000=" + target.string() +
           "\n[BackUP_Name]\n0000=d\xE9j\xE0.lzh\n");
  const int status = Run();
  EXPECT_TRUE(LogFile().empty()) << ReadBytes(program_ / "slotbackup.log");
  if (status != 0) {
    EXPECT_EQ(status, 2);
    const auto entries = ErrorLog();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(platform::ToMultiByte(entries[0].substr(entries[0].find('=') + 1)), target.string());
    GTEST_SKIP() << "the LHA library refused the Latin-1 names; the run recorded it";
  }
  const fs::path archive = save_ / "d\xE9j\xE0.lzh";
  const fs::path out = root_ / "lhasa";
  fs::create_directories(out);
  std::string text;
  ASSERT_EQ(Shell("cd " + Quoted(out) + " && lhasa xq " + Quoted(archive), &text), 0) << text;
  EXPECT_EQ(ReadBytes(out / kLatin1Folder / kLatin1File), "caf\xE9\n");
}

// ---------------------------------------------------------------- the slots

TEST_F(Installation, ASettingsFileWithoutTargetsRunsNothingAndWritesNothing) {
  InstallFakeArchivers();
  Settings(SaveSection("LHA"));
  const std::string before = ReadBytes(program_ / "slotbackup.ini");
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(ReadBytes(program_ / "slotbackup.ini"), before);
  EXPECT_FALSE(fs::exists(program_ / "slotbackup.log"));
}

TEST_F(Installation, PathsInBytesOutsideTheCodePageReachTheArchiverByteForByte) {
  InstallFakeArchivers();
  const fs::path t = Target(kLatin1Folder);
  Settings("[BackUP_Save]\nSavePath=/sav\xE9\nArchiveType=ZIP\n[BackUP_Target]\n0000=" +
           t.string() + "\n[BackUP_Name]\n0000=\xFF\xFE.zip\n");
  EXPECT_EQ(Run(), 0) << ReadBytes(program_ / "slotbackup.log");
  EXPECT_EQ(Calls(),
            std::vector<std::string>{"a \"/sav\xE9/\xFF\xFE.zip\" \"" + t.string() + "\""});
}

// The program finds its settings file, its archivers and its log beside
// itself whatever bytes its folder's name holds.
TEST_F(Installation, AProgramInAFolderNamedInLatin1FindsItsSettingsArchiversAndLog) {
  const fs::path moved = root_ / "progr\xE4mm";
  fs::rename(program_, moved);
  program_ = moved;
  InstallFakeArchivers();
  const fs::path t = Target("t");
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0001=" + t.string() +
           "\n0002=" + (data_ / "absent").string() + "\n[BackUP_Name]\n0001=t.zip\n0002=a.zip\n");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(Calls().size(), 1u);
  EXPECT_EQ(LogFile().size(), 1u);
}

// A settings file copied from Windows, where Notepad saved it "Unicode".
TEST_F(Installation, AUtf16SettingsFileIsRunAndKeptInUtf16) {
  InstallFakeArchivers();
  const fs::path a = Target("a"), b = Target("b");
  const std::string text = "[BackUP_Save]\r\nSavePath=" + save_.string() +
                           "\r\nArchiveType=LHA\r\n[BackUP_Target]\r\n0001=" + a.string() +
                           "\r\n0002=" + b.string() +
                           "\r\n[BackUP_Name]\r\n0001=a.lzh\r\n"
                           "0002=b.lzh\r\n";
  for (const bool bigEndian : {false, true}) {
    fs::remove(CallLog());
    Settings(test_support::Utf16File(fs::path(text).u16string(), bigEndian));
    EXPECT_EQ(Run(1), 2);
    EXPECT_EQ(Calls().size(), 2u);
    const std::string settings = ReadBytes(program_ / "slotbackup.ini");
    EXPECT_EQ(settings.substr(0, 2), bigEndian ? "\xFE\xFF" : "\xFF\xFE");
    const auto entries = ErrorLog();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].substr(entries[0].find('=') + 1), a.string());
    EXPECT_EQ(entries[1].substr(entries[1].find('=') + 1), b.string());
  }
}

// ------------------------------------------------------------ old archives

// Waits until the clock shows a second after the one it shows now, so that
// the next run's stamp is a new one.
void NextSecond() {
  const std::time_t now = std::time(nullptr);
  while (std::time(nullptr) == now) usleep(20000);
}

TEST_F(RealArchives, RunsKeepingTwoLeaveTwoArchivesAndTheCopyWhichVerifyReadsBack) {
  InstallRealArchivers();
  InstallChecker();
  const fs::path target = Target("docs");
  // Random bytes do not compress: a byte flipped in the middle of the archive
  // lies in their data.
  std::mt19937 random(11);
  std::string noise(256 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  WriteBytes(target / "noise.bin", noise);
  // Files that are not the slot's archives, though named much like them.
  const std::vector<std::string> others = {"docs_2020010100000.lzh", "docs_20201301000000.lzh",
                                           "docs_old_20200101000000.lzh",
                                           "docs_20200101000000.txt"};
  for (const std::string& name : others) WriteBytes(save_ / name, "not an archive of the slot");
  fs::create_directory(save_ / "docs_20190101000000.lzh");
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0000=" + target.string() +
           "\n[BackUP_Name]\n0000=docs_%D.lzh\n[BackUP_ConstantName]\n0000=docs.lzh\n"
           "[BackUP_Keep]\n0000=2\n");
  std::vector<fs::path> written;
  std::vector<uintmax_t> sizes;
  for (int run = 0; run < 3; ++run) {
    if (run > 0) NextSecond();
    ASSERT_EQ(Run(), 0) << output_ << ReadBytes(program_ / "slotbackup.log");
    EXPECT_EQ(output_, "") << "nothing is said of a removal";
    fs::path newest;
    for (const auto& entry : fs::directory_iterator(save_)) {
      const std::string name = entry.path().filename().string();
      if (std::regex_match(name, std::regex("docs_\\d{14}\\.lzh")) && entry.is_regular_file() &&
          std::find(others.begin(), others.end(), name) == others.end() &&
          std::find(written.begin(), written.end(), entry.path()) == written.end()) {
        newest = entry.path();
      }
    }
    ASSERT_FALSE(newest.empty());
    written.push_back(newest);
    sizes.push_back(fs::file_size(newest));
  }
  EXPECT_FALSE(fs::exists(written[0]));
  EXPECT_TRUE(fs::exists(written[1]));
  EXPECT_TRUE(fs::exists(written[2]));
  EXPECT_EQ(ReadBytes(save_ / "docs.lzh"), ReadBytes(written[2]));
  for (const std::string& name : others) EXPECT_TRUE(fs::exists(save_ / name)) << name;
  EXPECT_TRUE(fs::is_directory(save_ / "docs_20190101000000.lzh"));
  const std::vector<std::string> removed = SectionLines(program_ / "slotbackup.log", "Retention");
  ASSERT_EQ(removed.size(), 1u);
  const std::string entry = "=Removed:" + written[0].string() + "\tSlot:0000\tBytes:";
  ASSERT_NE(removed[0].find(entry), std::string::npos) << removed[0];
  EXPECT_EQ(removed[0].substr(removed[0].find(entry) + entry.size()), std::to_string(sizes[0]));
  EXPECT_EQ(Mismatch(written[2], {target}), "");

  pid_t checker = StartProgram("slotbackup-check", {"--verify"});
  Ending ending = Wait(checker);
  EXPECT_TRUE(ending.exited && ending.status == 0) << ending.Text() << Printed(checker);
  EXPECT_NE(Printed(checker).find("1 verified, 0 damaged, 0 missing (exit status 0)"),
            std::string::npos)
      << Printed(checker);

  std::string bytes = ReadBytes(written[2]);
  bytes[100000] = static_cast<char>(bytes[100000] ^ 0x55);
  WriteBytes(written[2], bytes);
  checker = StartProgram("slotbackup-check", {"--verify"});
  ending = Wait(checker);
  EXPECT_TRUE(ending.exited && ending.status == 1) << ending.Text() << Printed(checker);
  EXPECT_NE(Printed(checker).find("damaged in member \"docs/noise.bin\": LHa data CRC error"),
            std::string::npos)
      << Printed(checker);
}

// ---------------------------------------------------------------- failures

TEST_F(Installation, AFailedArchiverRunIsRecordedAndTheRunGoesOn) {
  InstallFakeArchivers();
  const fs::path a = Target("a"), b = Target("b");
  fs::permissions(a, fs::perms::owner_write, fs::perm_options::remove);
  WriteBytes(save_ / "latest.zip", "previous copy");
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
  EXPECT_EQ(ReadBytes(save_ / "latest.zip"), "previous copy");
  // The archiver's reasons are beside the entries, under the same keys.
  const auto messages = ArchiverMessages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], entries[0].substr(0, entries[0].find('=')) + "=Target:" + a.string() +
                             "\tMessage:fake archiver");
  EXPECT_TRUE(LogFile().empty());
}

TEST_F(Installation, AMissingTargetEndsTheRunWithOneLogEntry) {
  InstallFakeArchivers();
  const fs::path later = Target("later");
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0001=" + (data_ / "absent").string() +
           "\n0002=" + later.string() + "\n[BackUP_Name]\n0001=a.lzh\n0002=b.lzh\n");
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Calls().empty());
  const std::string log = ReadBytes(program_ / "slotbackup.log");
  EXPECT_TRUE(std::regex_match(
      log, std::regex("\\[ErrorDescription\\]\r\n[^\r\n]+=ModuleName:Main\tObjectName:AppModule\t"
                      "ErrorInfo:Path not found: " +
                      std::regex_replace((data_ / "absent").string(),
                                         std::regex("[.^$|()\\[\\]{}*+?\\\\]"), "\\$&") +
                      "\r\n")))
      << log;
}

TEST_F(Installation, AMissingTargetNamedInLatin1BytesIsLoggedAsReadableText) {
  InstallFakeArchivers();
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0001=" + (data_ / "absent\xE9").string() +
           "\n[BackUP_Name]\n0001=a.lzh\n");
  EXPECT_EQ(Run(), 1);
  const std::string log = ReadBytes(program_ / "slotbackup.log");
  EXPECT_NE(log.find("Path not found: " + (data_ / "absent\\xE9").string() + "\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find('\xE9'), std::string::npos) << "a byte that is not UTF-8 went into the log";
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

}  // namespace
