// Findings that need POSIX to set up: entries an ordinary user cannot read,
// FIFOs and sockets in a target, and temporary files of a process that has
// ended. Real folder trees; the reports are checked in both forms.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "archiver/fake_archiver_runner.h"
#include "platform/temp_name.h"
#include "testing/processes.h"
#include "testing/support.h"
#include "tools/check/checker.h"
#include "tools/check/render.h"

namespace fs = std::filesystem;
using test_support::ScratchFolder;

namespace {

const platform::LocalTime kNow{2026, 12, 7, 22, 0, 5};

class PosixFindings : public ::testing::Test {
 protected:
  void SetUp() override {
    // Open to an ordinary user, as an installation is to the account that
    // runs it.
    fs::permissions(root(), fs::perms::all);
    for (const char* folder : {"backups", "data/notes"}) {
      fs::create_directories(root() / folder);
      fs::permissions(root() / folder, fs::perms::all);
    }
    fs::permissions(root() / "data", fs::perms::all);
    std::ofstream(root() / "data" / "notes" / "a.txt") << "readable";
    fs::permissions(root() / "data" / "notes" / "a.txt",
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
  }
  const fs::path& root() const { return scratch_.path(); }

  std::string Settings(const std::string& extra = "") {
    const fs::path file = root() / "slotbackup.ini";
    std::ofstream(file) << "[BackUP_Save]\nSavePath=" << (root() / "backups").string()
                        << "\nArchiveType=ZIP\n[BackUP_Target]\n0000="
                        << (root() / "data" / "notes").string()
                        << "\n[BackUP_Name]\n0000=notes_%D.zip\n"
                        << extra;
    fs::permissions(file, fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all);
    return file.string();
  }
  check::Report Inspect() { return check::Inspect(Settings(), kNow, archivers_); }

  static const check::Finding* Find(const check::Report& report, const std::string& code) {
    for (const check::Finding& finding : report.findings) {
      if (finding.code == code) return &finding;
    }
    return nullptr;
  }

  ScratchFolder scratch_;
  Unlha32::FakeArchiverRunner archivers_;
};

TEST_F(PosixFindings, WhatAnOrdinaryUserCannotReadFailsTheSlotAndIsNamed) {
  const fs::path notes = root() / "data" / "notes";
  std::ofstream(notes / "secret.txt") << "private";
  fs::permissions(notes / "secret.txt", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directories(notes / "locked");
  fs::permissions(notes / "locked", fs::perms::owner_all);
  const std::string settings = Settings();
  if (geteuid() != 0) {
    chmod((notes / "secret.txt").c_str(), 0);
    chmod((notes / "locked").c_str(), 0);
  }
  const std::string both = test_support::InChildAsAnotherUser([&] {
    Unlha32::FakeArchiverRunner archivers;
    const check::Report report = check::Inspect(settings, kNow, archivers);
    return check::JsonReport(report) + "\x1e" + check::TextReport(report);
  });
  if (geteuid() != 0) chmod((notes / "locked").c_str(), 0700);
  ASSERT_NE(both.find('\x1e'), std::string::npos) << both;
  const std::string json = both.substr(0, both.find('\x1e'));
  const std::string text = both.substr(both.find('\x1e') + 1);
  EXPECT_NE(json.find("\"code\":\"unreadable-entries\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"outcome\":\"fails\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"unreadableCount\":2"), std::string::npos) << json;
  EXPECT_NE(json.find("\"exitStatus\":1"), std::string::npos) << json;
  EXPECT_NE(text.find("2 entries in"), std::string::npos) << text;
  EXPECT_NE(text.find("Permission denied"), std::string::npos) << text;
  EXPECT_NE(text.find("What to do: Give the account that runs slotbackup read access"),
            std::string::npos)
      << text;
}

TEST_F(PosixFindings, FifosAndSocketsPassedOverAreANoteNotAFailure) {
  const fs::path notes = root() / "data" / "notes";
  ASSERT_EQ(mkfifo((notes / "pipe").c_str(), 0600), 0);
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = (notes / "s").string();
  ASSERT_LT(path.size(), sizeof address.sun_path);
  path.copy(address.sun_path, path.size());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(sock);

  const check::Report report = Inspect();
  const check::Finding* note = Find(report, "passed-over");
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->severity, check::Severity::kNote);
  EXPECT_NE(note->message.find((notes / "pipe").string() + " (a FIFO)"), std::string::npos);
  EXPECT_NE(note->message.find(path + " (a socket)"), std::string::npos);
  ASSERT_EQ(report.slots.size(), 1u);
  EXPECT_EQ(report.slots[0].outcome, check::Outcome::kArchive);
  EXPECT_EQ(check::ExitStatus(report), check::kAllWillBeDone);
  EXPECT_NE(check::JsonReport(report).find("\"passedOverCount\":2"), std::string::npos);
  EXPECT_NE(check::TextReport(report).find("2 passed over"), std::string::npos);
}

TEST_F(PosixFindings, TemporaryFilesOfAnEndedRunAreListedAndLeftInPlace) {
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const uint32_t id = static_cast<uint32_t>(ended);
  const fs::path inSave = root() / "backups" / platform::TemporaryName(id, 7);
  const fs::path beside = root() / platform::TemporaryName(id, 8);
  std::ofstream(inSave) << std::string(1000, 'x');
  std::ofstream(beside) << std::string(24, 'x');
  std::ofstream(root() / "backups" / ".slotbackup-1-x.tmp") << "not ours";

  const check::Report report = Inspect();
  const check::Finding* note = Find(report, "temporary-files-left");
  ASSERT_NE(note, nullptr);
  EXPECT_NE(note->message.find("2 temporary files (1024 bytes)"), std::string::npos)
      << note->message;
  EXPECT_NE(note->message.find(inSave.string()), std::string::npos);
  EXPECT_TRUE(fs::exists(inSave));
  EXPECT_TRUE(fs::exists(beside));
  EXPECT_NE(check::JsonReport(report).find("\"code\":\"temporary-files-left\""), std::string::npos);
}

TEST_F(PosixFindings, AFifoPlantedAtTheSettingsOrTheLogNeverStopsTheCheck) {
  const std::string settings = Settings();
  ASSERT_EQ(mkfifo((root() / "slotbackup.log").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((root() / "planted.ini").c_str(), 0600), 0);
  const std::string seen = test_support::InChild(
      [&] {
        Unlha32::FakeArchiverRunner archivers;
        const check::Report log = check::Inspect(settings, kNow, archivers);
        const check::Report planted =
            check::Inspect((root() / "planted.ini").string(), kNow, archivers);
        return std::to_string(check::ExitStatus(log)) + " " + std::to_string(log.logCount) + " " +
               std::to_string(check::ExitStatus(planted)) + " " + planted.readError;
      },
      std::chrono::seconds(20));
  EXPECT_EQ(seen.rfind("0 0 2 Cannot read ", 0), 0u) << seen;
  EXPECT_NE(seen.find("it is not a regular file."), std::string::npos) << seen;
}

}  // namespace
