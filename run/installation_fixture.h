// The built program installed as a user installs it, for end-to-end tests: a
// folder of its own holding slotbackup and the archiver libraries (the fake
// one or the real ones), a data folder with target folders and a save folder,
// all under one temporary root. Runs start as a scheduler starts them: with
// an empty environment (plus the fake archiver's controls), from another
// working folder, their standard error kept per run.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "testing/processes.h"
#include "testing/support.h"

namespace slotbackup_test {

namespace fs = std::filesystem;

using test_support::ReadBytes;
using test_support::SectionLines;
using test_support::Shell;
using test_support::WriteBytes;
std::string Quoted(const fs::path& p);

// How a run ended: an exit status, or the signal that killed it.
struct Ending {
  bool exited = false;
  int status = -1;  // the exit status, or the signal
  std::string Text() const;
};

// Gives a folder the mode 555: read-only for everyone.
void MakeReadOnly(const fs::path& folder);

// While it lives, processes orphaned below this one (the archiver processes
// of killed runs) come to this process, which leaves them uncollected, as a
// busy init might: a run must take an ended process for ended all the same.
// It collects them when it goes.
class OrphansLeftUncollected {
 public:
  OrphansLeftUncollected();
  ~OrphansLeftUncollected();
  OrphansLeftUncollected(const OrphansLeftUncollected&) = delete;
  OrphansLeftUncollected& operator=(const OrphansLeftUncollected&) = delete;
};

// A random source whose seed is printed, and taken from SLOTBACKUP_TEST_SEED
// when set, so that a failure with random timing can be repeated.
std::mt19937 SeededRandom();

class Installation : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void InstallArchivers(const char* lha, const char* zip);
  void InstallFakeArchivers();
  void InstallRealArchivers();
  // slotbackup-check beside the program, as installed.
  void InstallChecker();

  void Settings(const std::string& text);
  std::string SaveSection(const std::string& type) const;
  // "[BackUP_Target]" and "[BackUP_Name]" for slots 0000, 0001, ... over
  // targets, each named "<n>_%D.zip".
  static std::string Slots(const std::vector<fs::path>& targets);
  // A target folder with a few files, a Japanese name and a blank in it.
  fs::path Target(const std::string& name);

  // Starts the program; fake holds FAKE_ARCHIVER_* controls without the
  // prefix (RESULT, DELAY_MS, ...). Runs as the unprivileged user once
  // RunUnprivileged() was called.
  pid_t Start(const std::map<std::string, std::string>& fake = {});
  // Starts another program of the installation (slotbackup-check) the same
  // way, with arguments.
  pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments);
  Ending Wait(pid_t run);
  // What the run printed on standard error (and standard output).
  std::string Printed(pid_t run) const;
  // Starts and waits; the exit status (-1 when killed), its output in output_.
  int Run(int fakeResult = 0);
  int Run(const std::map<std::string, std::string>& fake);

  // From now on, runs start as an ordinary user: as root, a user made for
  // the tests owning the whole installation; otherwise the caller. Skips the
  // test (with the reason) when no such user can be made.
  void RunUnprivileged();

  fs::path CallLog() const { return root_ / "calls.log"; }
  std::vector<std::string> Calls() const;
  // Waits until the fake archiver has received count calls.
  bool AwaitCalls(size_t count, int timeoutMs = 10000) const;

  std::vector<std::string> ErrorLog() const;
  std::vector<std::string> LogFile() const;
  std::vector<std::string> ArchiverMessages() const;
  std::vector<std::string> Recovery() const;
  std::vector<std::string> ClearedFolderRecords() const;

  // Every regular file under the root whose name is the program's temporary
  // name pattern.
  std::vector<fs::path> TemporaryFiles() const;
  // Whether the folder's owner may write to it.
  static bool Writable(const fs::path& folder);

  // What is wrong with archive, read back with bsdtar, against the folders
  // it should hold (each under its own name, every file byte for byte):
  // empty when nothing is.
  std::string Mismatch(const fs::path& archive, const std::vector<fs::path>& folders);

  fs::path root_, program_, data_, save_;
  std::string output_;

 private:
  pid_t Launch(const std::string& program, const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& fake);

  std::map<pid_t, fs::path> printed_;
  int runs_ = 0;
  bool unprivileged_ = false;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

}  // namespace slotbackup_test
