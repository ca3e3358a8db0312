// Runs left alone, end to end on the built program: runs that overlap, runs
// stopped by a signal or killed at any point, settings files the run cannot
// use, and failures that cannot be written where they belong. Whatever
// happens, nothing is lost: no record, no folder's attributes, no disk space.
// Random timing prints its seed; SLOTBACKUP_TEST_SEED repeats a run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <set>
#include <thread>

#include "platform/file_lock.h"
#include "run/installation_fixture.h"

namespace {

using namespace slotbackup_test;
using namespace std::chrono_literals;

std::string KeyOf(const std::string& line) {
  return line.substr(0, line.find('='));
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

// Whether the run has ended, without collecting it.
bool Ended(pid_t run) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(run), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == run;
}

// ------------------------------------------------------------ overlapping runs

using OverlappingRuns = Installation;

TEST_F(OverlappingRuns, FourRunsOfAHundredFailingSlotsKeepAllFourHundredEntries) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  Settings(SaveSection("ZIP") + Slots(std::vector<fs::path>(100, t)));
  std::vector<pid_t> runs;
  for (int i = 0; i < 4; ++i) runs.push_back(Start({{"RESULT", "1"}, {"MESSAGE", "disk full"}}));
  for (pid_t run : runs) {
    EXPECT_EQ(Wait(run).Text(), "exit status 2");
    EXPECT_EQ(LinesOf(Printed(run)).size(), 100u);  // one line per failed slot
  }
  const auto entries = ErrorLog();
  std::cout << "Error_LOG entries kept: " << entries.size() << " of 400" << std::endl;
  EXPECT_EQ(entries.size(), 400u);
  std::set<std::string> keys;
  for (const std::string& entry : entries) keys.insert(KeyOf(entry));
  EXPECT_EQ(keys.size(), entries.size());
  EXPECT_EQ(ArchiverMessages().size(), 400u);
}

TEST_F(OverlappingRuns, TwoRunsOfOneFailingSlotKeepBothEntriesEveryTime) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  size_t kept = 0;
  for (int attempt = 0; attempt < 20; ++attempt) {
    Settings(SaveSection("ZIP") + Slots({t}));
    const pid_t a = Start({{"RESULT", "1"}}), b = Start({{"RESULT", "1"}});
    EXPECT_EQ(Wait(a).Text(), "exit status 2");
    EXPECT_EQ(Wait(b).Text(), "exit status 2");
    kept += ErrorLog().size();
  }
  std::cout << "Error_LOG entries kept: " << kept << " of 40" << std::endl;
  EXPECT_EQ(kept, 40u);
}

TEST_F(OverlappingRuns, AReadOnlyTargetStaysReadOnlyHoweverRunsOverlap) {
  std::mt19937 random = SeededRandom();
  InstallFakeArchivers();
  const fs::path t = Target("t");
  MakeReadOnly(t);
  Settings(SaveSection("ZIP") + Slots({t, t}));
  std::uniform_int_distribution<int> delay(0, 120);
  int leftWritable = 0;
  for (int attempt = 0; attempt < 6; ++attempt) {
    const pid_t a = Start({{"DELAY_MS", std::to_string(delay(random))}});
    std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
    const pid_t b = Start({{"DELAY_MS", std::to_string(delay(random))}});
    EXPECT_EQ(Wait(a).Text(), "exit status 0") << Printed(a);
    EXPECT_EQ(Wait(b).Text(), "exit status 0") << Printed(b);
    leftWritable += Writable(t);
  }
  std::cout << "tries that left the read-only folder writable: " << leftWritable << " of 6"
            << std::endl;
  EXPECT_EQ(leftWritable, 0);
  EXPECT_TRUE(ClearedFolderRecords().empty());
}

TEST_F(OverlappingRuns, ARunWaitsWhileAnotherHoldsTheLockAndThenDoesItsWork) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  Settings(SaveSection("ZIP") + Slots({t}));
  auto holder = std::make_unique<platform::FileLock>((program_ / "slotbackup.lock").string());
  ASSERT_TRUE(holder->Acquire(0ms));
  const pid_t run = Start();
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(waitpid(run, nullptr, WNOHANG), 0) << "the run did not wait for the lock";
  EXPECT_TRUE(Calls().empty());
  holder.reset();
  EXPECT_EQ(Wait(run).Text(), "exit status 0") << Printed(run);
  EXPECT_EQ(Calls().size(), 1u);
  EXPECT_NE(ReadBytes(program_ / "slotbackup.lock").find("process " + std::to_string(run)),
            std::string::npos);
}

// ------------------------------------------------------------ interrupted runs

using InterruptedRuns = Installation;

TEST_F(InterruptedRuns, ASignalMidArchiveRestoresTheFolderRemovesTheTemporaryFileAndIsLogged) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  MakeReadOnly(t);
  Settings(SaveSection("ZIP") + Slots({t, t}));
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    fs::remove(CallLog());
    fs::remove(program_ / "slotbackup.log");
    const pid_t run = Start({{"DELAY_MS", "30000"}, {"TEMPORARY_BYTES", "1048576"}});
    ASSERT_TRUE(AwaitCalls(1));
    while (TemporaryFiles().empty()) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(Writable(t));  // cleared for the archiver
    const auto sent = std::chrono::steady_clock::now();
    kill(run, signal);
    EXPECT_EQ(Wait(run).Text(), "exit status " + std::to_string(128 + signal)) << signal;
    // The archiver was stopped, not waited for.
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 20s);
    EXPECT_EQ(Calls().size(), 1u);
    EXPECT_FALSE(Writable(t)) << signal;
    EXPECT_TRUE(TemporaryFiles().empty()) << signal;
    EXPECT_TRUE(ClearedFolderRecords().empty()) << signal;
    const auto log = LogFile();
    ASSERT_EQ(log.size(), 1u) << signal;
    const std::string said = "Interrupted by " +
                             std::string(signal == SIGTERM  ? "SIGTERM"
                                         : signal == SIGINT ? "SIGINT"
                                                            : "SIGHUP") +
                             " (signal " + std::to_string(signal) + ")";
    EXPECT_NE(log[0].find("ErrorInfo:" + said), std::string::npos) << log[0];
    EXPECT_EQ(Printed(run), "slotbackup: " + said + "\n");
  }
}

TEST_F(InterruptedRuns, SigtermDuringALongFixedNameCopyKeepsTheOldCopyByteForByte) {
  std::mt19937 random = SeededRandom();
  InstallFakeArchivers();
  const fs::path t = Target("t");
  // The archive the slot copies (the fake archiver leaves it as it is): large
  // enough for the copy to take a while.
  std::string archive(64 << 20, '\0');
  std::mt19937_64 content(64);
  for (size_t at = 0; at < archive.size(); at += 8) {
    const uint64_t bytes = content();
    std::memcpy(archive.data() + at, &bytes, 8);
  }
  WriteBytes(save_ / "big.zip", archive);
  const fs::path latest = save_ / "big latest.zip";
  const std::string old = "the copy of an earlier run\n" + std::string(1 << 20, 'o');
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + t.string() +
           "\n[BackUP_Name]\n0000=big.zip\n[BackUP_ConstantName]\n0000=big latest.zip\n");
  const auto OtherFiles = [&] {
    std::vector<fs::path> others;
    for (const auto& e : fs::directory_iterator(save_)) {
      if (e.path() != latest && e.path().filename() != "big.zip") others.push_back(e.path());
    }
    return others;
  };
  std::uniform_int_distribution<int> delay(0, 20);
  std::vector<uintmax_t> stoppedAt;
  for (int attempt = 0; attempt < 20 && stoppedAt.size() < 3; ++attempt) {
    WriteBytes(latest, old);
    fs::remove(program_ / "slotbackup.log");
    const pid_t run = Start();
    // The copy's temporary file is the only other file in the save folder.
    fs::path copying;
    while (copying.empty() && !Ended(run)) {
      for (const fs::path& file : OtherFiles()) copying = file;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
    // Frozen, the run shows how far it has copied; a copy that is complete
    // is no test of a stopped one.
    kill(run, SIGSTOP);
    std::error_code gone;
    const uintmax_t copied = fs::file_size(copying, gone);
    const bool midCopy = !copying.empty() && !gone && copied < archive.size();
    if (midCopy) kill(run, SIGTERM);
    kill(run, SIGCONT);
    const Ending ending = Wait(run);
    if (!midCopy) continue;
    stoppedAt.push_back(copied);
    EXPECT_EQ(ending.Text(), "exit status 143") << Printed(run);
    EXPECT_TRUE(ReadBytes(latest) == old) << "the old copy changed";
    EXPECT_TRUE(OtherFiles().empty());
    const auto log = LogFile();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("ErrorInfo:Interrupted by SIGTERM (signal 15)"), std::string::npos)
        << log[0];
  }
  std::cout << "copies of " << archive.size() << " bytes stopped at";
  for (const uintmax_t copied : stoppedAt) std::cout << " " << copied;
  std::cout << " bytes" << std::endl;
  EXPECT_EQ(stoppedAt.size(), 3u) << "the copy was too quick to be stopped midway";
}

TEST_F(InterruptedRuns, RunsKilledAtRandomPointsLeaveNoFolderClearedAndNoTemporaryFile) {
  std::mt19937 random = SeededRandom();
  const OrphansLeftUncollected orphans;
  InstallFakeArchivers();
  const fs::path a = Target("a"), b = Target("b");
  // A fixed-name copy of a few MB, so that kills land in the copy as well.
  WriteBytes(save_ / "a.zip", std::string(4 << 20, 'z'));
  WriteBytes(save_ / "b.zip", "b");
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + a.string() + "\n0001=" + b.string() +
           "\n0002=" + a.string() + "\n[BackUP_Name]\n0000=a.zip\n0001=b.zip\n0002=a.zip\n" +
           "[BackUP_ConstantName]\n0000=a latest.zip\n");
  const std::string settingsTargets = ReadBytes(program_ / "slotbackup.ini");
  std::uniform_int_distribution<int> delay(0, 40), when(0, 160), coin(0, 1);
  int leftWritable = 0, leftRecords = 0;
  std::map<std::string, int> endings;
  constexpr int kAttempts = 40;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    MakeReadOnly(a);
    MakeReadOnly(b);
    const int signal = coin(random) ? SIGKILL : SIGTERM;
    const std::string result = coin(random) ? "0" : "1";
    const pid_t run = Start({{"RESULT", result},
                             {"DELAY_MS", std::to_string(delay(random))},
                             {"TEMPORARY_BYTES", "262144"}});
    std::this_thread::sleep_for(std::chrono::milliseconds(when(random)));
    kill(run, signal);
    const Ending ending = Wait(run);
    ++endings[(signal == SIGKILL ? "kill -9: " : "SIGTERM: ") + ending.Text()];
    if (signal == SIGTERM && ending.exited) {
      // Stopped by its handler (143), or done before the signal came.
      EXPECT_TRUE(ending.status == 143 || ending.status == 0 || ending.status == 2)
          << ending.Text();
    }
    // The next run cleans up after the killed one, then does its own work.
    EXPECT_EQ(Run(), 0) << output_;
    leftWritable += Writable(a) || Writable(b);
    leftRecords += !ClearedFolderRecords().empty();
  }
  uintmax_t leftBytes = 0;
  for (const fs::path& file : TemporaryFiles()) leftBytes += fs::file_size(file);
  for (const auto& [ending, count] : endings) std::cout << ending << ": " << count << std::endl;
  std::cout << "of " << kAttempts << " kills, followed by a run each: " << leftWritable
            << " left a read-only folder writable, " << leftRecords << " left a record; "
            << TemporaryFiles().size() << " temporary files (" << leftBytes << " bytes) are left"
            << std::endl;
  EXPECT_EQ(leftWritable, 0);
  EXPECT_EQ(leftRecords, 0);
  EXPECT_TRUE(TemporaryFiles().empty());
  // The settings the runs rewrote (Error_LOG) still hold every slot.
  EXPECT_EQ(SectionLines(program_ / "slotbackup.ini", "BackUP_Target").size(), 3u);
  EXPECT_EQ(ReadBytes(program_ / "slotbackup.ini").substr(0, settingsTargets.size()),
            settingsTargets);
}

TEST_F(InterruptedRuns, AFolderAKilledRunLeftClearedGetsItsAttributesBackFirst) {
  InstallFakeArchivers();
  const fs::path t = Target("t"), gone = data_ / "gone";
  // As a run killed mid-archive leaves it: the folder writable, the record
  // of its own word (17: read-only) beside the program.
  WriteBytes(
      program_ / "slotbackup.recovery",
      "[ClearedFolder]\n0003=17 " + t.string() + "\n0004=17 " + gone.string() + "\n0005=garbage\n");
  WriteBytes(program_ / "slotbackup.lock", "process 4194999, since 2026/12/07 22:00:00");
  Settings(SaveSection("ZIP") + Slots({t}));
  ASSERT_EQ(Run(), 0) << output_;
  EXPECT_FALSE(Writable(t));  // restored, then cleared and restored by the run with that word
  EXPECT_TRUE(ClearedFolderRecords().empty());
  const std::string run = "\tInterruptedRun:process 4194999, since 2026/12/07 22:00:00";
  const auto recovery = Recovery();
  ASSERT_EQ(recovery.size(), 3u);
  EXPECT_EQ(recovery[0].substr(recovery[0].find('=') + 1),
            "Restored:" + t.string() + "\tAttributes:17" + run);
  EXPECT_EQ(recovery[1].substr(recovery[1].find('=') + 1),
            "Dropped:" + gone.string() + "\tAttributes:17" + run +
                "\tReason:Path not found: " + gone.string());
  EXPECT_NE(recovery[2].find("=Dropped:0005=garbage\tReason:"), std::string::npos);
  EXPECT_EQ(output_, "");  // a recovery is no failure
}

TEST_F(InterruptedRuns, AFolderThatCannotGetItsAttributesBackStopsTheRunAndKeepsItsRecord) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a folder the run's user may not change";
  InstallFakeArchivers();
  Settings(SaveSection("ZIP"));
  RunUnprivileged();
  const fs::path t = Target("root's");  // made after the hand-over: root's own
  WriteBytes(program_ / "slotbackup.recovery", "[ClearedFolder]\n0000=17 " + t.string() + "\n");
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Writable(t));
  EXPECT_EQ(ClearedFolderRecords().size(), 1u);
  const auto log = LogFile();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("ErrorInfo:Cannot give " + t.string() + " back the attributes"),
            std::string::npos)
      << log[0];
}

TEST_F(InterruptedRuns, OnlyAbandonedFilesOfTheTemporaryNamePatternAreRemoved) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  fs::create_directories(save_ / "sub");
  fs::create_directories(save_ / "latest");
  WriteBytes(save_ / "y.zip", "archive");
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + t.string() + "\n0001=" + t.string() +
           "\n[BackUP_Name]\n0000=sub/x %D.zip\n0001=y.zip\n[BackUP_ConstantName]\n"
           "0001=latest/y.zip\n");
  // 4194999 lies above any Linux process id: its process is surely gone.
  const std::string dead = ".slotbackup-4194999-0123456789abcdef.tmp";
  const std::vector<fs::path> ours = {program_ / dead, save_ / dead, save_ / "sub" / dead,
                                      save_ / "latest" / dead};
  for (const fs::path& file : ours) WriteBytes(file, std::string(1000, 'x'));
  WriteBytes(data_ / "precious.txt", "keep me");
  const std::vector<fs::path> kept = {
      program_ / ".slotbackup-4194999-0123456789ABCDEF.tmp",
      save_ / (dead + ".part"),
      save_ / dead.substr(1),
      save_ / ".slotbackup.ini.a1B2c3",
      save_ / (".slotbackup-" + std::to_string(getpid()) + "-0123456789abcdef.tmp"),  // running
      data_ / dead,  // a folder no slot writes into
  };
  for (const fs::path& file : kept) WriteBytes(file, "not abandoned");
  const fs::path folder = save_ / ".slotbackup-4194998-0123456789abcdef.tmp";
  const fs::path link = save_ / ".slotbackup-4194997-0123456789abcdef.tmp";
  const fs::path fifo = save_ / ".slotbackup-4194996-0123456789abcdef.tmp";
  WriteBytes(folder / "inside.txt", "x");
  fs::create_symlink(data_ / "precious.txt", link);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

  ASSERT_EQ(Run(), 0) << output_;
  for (const fs::path& file : ours) EXPECT_FALSE(fs::exists(fs::symlink_status(file))) << file;
  for (const fs::path& file : kept) EXPECT_TRUE(fs::exists(file)) << file;
  EXPECT_TRUE(fs::exists(folder / "inside.txt"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(ReadBytes(data_ / "precious.txt"), "keep me");
  std::set<std::string> said;
  for (const std::string& line : Recovery()) said.insert(line.substr(line.find('=') + 1));
  std::set<std::string> expected;
  for (const fs::path& file : ours) {
    expected.insert("RemovedTemporaryFile:" + file.string() + "\tBytes:1000");
  }
  EXPECT_EQ(said, expected);
}

TEST_F(InterruptedRuns, ACrashingArchiverIsAFailedSlotWithItsReasonAndTheRunGoesOn) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  MakeReadOnly(t);
  Settings(SaveSection("LHA") + Slots({t, t}));
  // SIGABRT, as abort() raises it: a sanitizer would take SIGSEGV for its own report.
  EXPECT_EQ(Run({{"CRASH", std::to_string(SIGABRT)}, {"TEMPORARY_BYTES", "100000"}}), 2) << output_;
  EXPECT_EQ(Calls().size(), 2u);
  EXPECT_EQ(ErrorLog().size(), 2u);
  const auto messages = ArchiverMessages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[0].find("\tMessage:the archiver crashed: signal 6 (Aborted)"),
            std::string::npos)
      << messages[0];
  EXPECT_FALSE(Writable(t));
  EXPECT_TRUE(TemporaryFiles().empty());
  EXPECT_EQ(LinesOf(output_).size(), 2u) << output_;
}

// ------------------------------------------------------------ unusable files

using UnusableFiles = Installation;

TEST_F(UnusableFiles, AMissingFolderLinkOrFifoInsteadOfTheFileEndsTheRunWithAnEntry) {
  InstallFakeArchivers();
  const fs::path settings = program_ / "slotbackup.ini";
  const std::vector<std::pair<std::string, std::function<void()>>> cases = {
      {"No such file or directory", [] {}},
      {"it is a folder, not a file", [&] { fs::create_directory(settings); }},
      {"it is a link to a file that does not exist",
       [&] { fs::create_symlink(data_ / "moved.ini", settings); }},
      {"it is not a regular file", [&] { ASSERT_EQ(mkfifo(settings.c_str(), 0600), 0); }},
  };
  for (const auto& [reason, make] : cases) {
    fs::remove_all(settings);
    fs::remove(program_ / "slotbackup.log");
    make();
    EXPECT_EQ(Run(), 1) << reason;
    const auto log = LogFile();
    ASSERT_EQ(log.size(), 1u) << reason;
    const std::string said = "Cannot read " + settings.string() + ": " + reason;
    EXPECT_NE(log[0].find("ErrorInfo:" + said), std::string::npos) << log[0];
    EXPECT_EQ(output_, "slotbackup: " + said + "\n");
  }
}

TEST_F(UnusableFiles, AnUnreadableSettingsFileEndsTheRunWithAnEntry) {
  InstallFakeArchivers();
  Settings(SaveSection("ZIP") + Slots({Target("t")}));
  RunUnprivileged();
  fs::permissions(program_ / "slotbackup.ini", fs::perms::none);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Calls().empty());
  const auto log = LogFile();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("ErrorInfo:Cannot read " + (program_ / "slotbackup.ini").string() +
                        ": Permission denied"),
            std::string::npos)
      << log[0];
}

TEST_F(UnusableFiles, AFifoOrLinkPlantedAtTheRunsOwnFilesStopsItBeforeAnythingChanges) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  MakeReadOnly(t);
  Settings(SaveSection("ZIP") + Slots({t}));
  const fs::path lock = program_ / "slotbackup.lock", recovery = program_ / "slotbackup.recovery";
  const std::vector<std::pair<std::string, std::function<void()>>> cases = {
      {"Cannot open the lock file " + lock.string() + ": it is a FIFO, not a regular file",
       [&] { ASSERT_EQ(mkfifo(lock.c_str(), 0600), 0); }},
      {"Cannot open the lock file " + lock.string() + ": it is a symbolic link, not a regular file",
       [&] { fs::create_symlink(data_ / "elsewhere", lock); }},
      {"Cannot write " + recovery.string() + ": it is a FIFO, not a regular file",
       [&] { ASSERT_EQ(mkfifo(recovery.c_str(), 0600), 0); }},
  };
  for (const auto& [said, plant] : cases) {
    fs::remove(lock);
    fs::remove(recovery);
    fs::remove(program_ / "slotbackup.log");
    plant();
    EXPECT_EQ(Run(), 1) << said;
    EXPECT_TRUE(Calls().empty());
    EXPECT_FALSE(Writable(t));
    const auto log = LogFile();
    ASSERT_EQ(log.size(), 1u) << said;
    EXPECT_NE(log[0].find("ErrorInfo:" + said), std::string::npos) << log[0];
  }
  EXPECT_FALSE(fs::exists(data_ / "elsewhere"));
}

TEST_F(UnusableFiles, ALockFileTheRunsUserMayNotOpenStopsItBeforeAnythingChanges) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  MakeReadOnly(t);
  Settings(SaveSection("ZIP") + Slots({t}));
  RunUnprivileged();
  const fs::path lock = program_ / "slotbackup.lock";
  WriteBytes(lock, "process 4194999, since 2026/12/07 22:00:00");
  fs::permissions(lock, fs::perms::owner_read);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Calls().empty());
  EXPECT_FALSE(Writable(t));
  const auto log = LogFile();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(
      log[0].find("ErrorInfo:Cannot open the lock file " + lock.string() + ": Permission denied"),
      std::string::npos)
      << log[0];
}

// ------------------------------------------------------------ failures kept

using RecordedFailures = Installation;

TEST_F(RecordedFailures, TheArchiversReasonReachesTheLogAndStandardError) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  Settings(SaveSection("ZIP") + Slots({t}));
  const std::string reason = "cannot read " + t.string() + "/報告書.txt: Permission denied";
  EXPECT_EQ(Run({{"RESULT", "1"}, {"MESSAGE", " " + reason + "\r\n"}}), 2);
  const auto entries = ErrorLog();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].substr(entries[0].find('=') + 1), t.string());  // as ever
  EXPECT_EQ(ArchiverMessages(), std::vector<std::string>{KeyOf(entries[0]) + "=Target:" +
                                                         t.string() + "\tMessage:" + reason});
  EXPECT_EQ(output_,
            "slotbackup: slot 0000: archiving " + t.string() + " failed: " + reason + "\n");
  // Nothing is printed when every slot succeeds.
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(output_, "");
}

TEST_F(RecordedFailures, AReadOnlySettingsFilePutsTheFailureInTheLogAndTheRunEndsWith1) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  Settings(SaveSection("ZIP") + Slots({t}));
  RunUnprivileged();
  fs::permissions(program_ / "slotbackup.ini", fs::perms::owner_read);
  EXPECT_EQ(Run(1), 1);
  EXPECT_TRUE(ErrorLog().empty());
  const auto messages = ArchiverMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("=Target:" + t.string() +
                             "\tMessage:fake archiver\tNotInError_LOG:"
                             "Cannot write " +
                             (program_ / "slotbackup.ini").string() + ": Permission denied"),
            std::string::npos)
      << messages[0];
  EXPECT_NE(output_.find("[not recorded in Error_LOG: Cannot write "), std::string::npos)
      << output_;
}

TEST_F(RecordedFailures, WhenNeitherFileCanBeWrittenTheFailureIsOnStandardError) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  Settings(SaveSection("ZIP") + Slots({t}));
  WriteBytes(program_ / "slotbackup.log", "");
  RunUnprivileged();
  fs::permissions(program_ / "slotbackup.ini", fs::perms::owner_read);
  fs::permissions(program_ / "slotbackup.log", fs::perms::owner_read);
  EXPECT_EQ(Run(1), 1);
  const auto lines = LinesOf(output_);
  ASSERT_EQ(lines.size(), 1u) << output_;
  EXPECT_EQ(lines[0].rfind("slotbackup: slot 0000: archiving " + t.string() +
                               " failed: fake archiver [not recorded in Error_LOG: Cannot write ",
                           0),
            0u)
      << lines[0];
  EXPECT_NE(lines[0].find("[not recorded in the error log: Cannot write " +
                          (program_ / "slotbackup.log").string() + ": Permission denied]"),
            std::string::npos)
      << lines[0];
}

TEST_F(RecordedFailures, AProgramFolderTheRunCannotWriteStopsItBeforeAnyFolderIsCleared) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  MakeReadOnly(t);
  Settings(SaveSection("ZIP") + Slots({t}));
  WriteBytes(program_ / "slotbackup.lock", "");
  RunUnprivileged();
  fs::permissions(program_, fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Calls().empty());
  EXPECT_FALSE(Writable(t));
  EXPECT_NE(output_.find("Cannot write " + (program_ / "slotbackup.recovery").string()),
            std::string::npos)
      << output_;
  EXPECT_NE(output_.find("[not recorded in the error log: "), std::string::npos) << output_;
}

// A link planted at the error log or the recovery record is never followed,
// not even one that names nothing yet: the file it names stays as it was,
// and the run stops with 1 before it changes anything, saying why on
// standard error.
TEST_F(RecordedFailures, ALinkAtTheLogOrTheRecoveryRecordStopsTheRunAndIsNeverFollowed) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  MakeReadOnly(t);
  Settings(SaveSection("ZIP") + Slots({t}));
  const fs::path victim = data_ / "victim.ini", nowhere = data_ / "nowhere.ini";
  for (const char* name : {"slotbackup.log", "slotbackup.recovery"}) {
    for (const fs::path& named : {victim, nowhere}) {
      const fs::path link = program_ / name;
      WriteBytes(victim, "[Keep]\nthis=as it is\n");
      fs::create_symlink(named, link);
      EXPECT_EQ(Run(), 1) << link << " -> " << named;
      EXPECT_TRUE(Calls().empty());
      EXPECT_FALSE(Writable(t));
      EXPECT_EQ(ReadBytes(victim), "[Keep]\nthis=as it is\n");
      EXPECT_FALSE(fs::exists(nowhere));
      EXPECT_TRUE(fs::is_symlink(link));
      EXPECT_EQ(output_.rfind("slotbackup: Cannot write " + link.string() +
                                  ": it is a symbolic link, not a regular file",
                              0),
                0u)
          << output_;
      fs::remove(link);
      fs::remove(program_ / "slotbackup.log");
    }
  }
}

}  // namespace
