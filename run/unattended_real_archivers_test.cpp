// Runs left alone with the real archiver libraries installed beside the
// program: runs killed (kill -9) or stopped (SIGTERM) at random points while
// an archive is written, and several runs at once on one installation.
// Whatever happens, an archive or fixed-name copy at its final name is the
// one that was there or a complete one, and after the next run no target
// folder is left writable and no temporary file is left anywhere. Archives
// are read back with bsdtar. Random timing prints its seed;
// SLOTBACKUP_TEST_SEED repeats a run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <iostream>
#include <set>
#include <thread>

#include "run/installation_fixture.h"

namespace {

using namespace slotbackup_test;

// A sanitizer or unoptimised build runs the libraries many times slower: it
// archives less and kills fewer times.
constexpr bool kSlowBuild = SLOTBACKUP_SLOW_BUILD;

class RealArchiverRuns : public Installation {
 protected:
  void SetUp() override {
    Installation::SetUp();
    InstallRealArchivers();
  }

  // A target folder of about `bytes`: text that compresses well and random
  // bytes that do not, in sub-folders, one of them with a Japanese name.
  fs::path LargeTarget(const std::string& name, size_t bytes) {
    const fs::path folder = data_ / name;
    std::mt19937 content(static_cast<unsigned>(bytes) ^ static_cast<unsigned>(name.size()));
    std::vector<std::string> words;
    for (int i = 0; i < 500; ++i) {
      std::string word;
      for (int letters = 2 + static_cast<int>(content() % 8); letters > 0; --letters) {
        word += static_cast<char>('a' + content() % 26);
      }
      words.push_back(word);
    }
    const size_t fileBytes = std::max<size_t>(bytes / 24, 4096);
    size_t written = 0;
    for (int i = 0; written < bytes; ++i) {
      std::string data;
      if (i % 3 == 0) {
        while (data.size() < fileBytes) data += static_cast<char>(content());
      } else {
        while (data.size() < fileBytes) data += words[content() % words.size()] + ' ';
      }
      const fs::path sub =
          i % 4 == 0 ? folder / "資料" : folder / ("part " + std::to_string(i % 3));
      WriteBytes(sub / ("file " + std::to_string(i) + ".dat"), data);
      written += data.size();
    }
    fs::create_directories(folder / "empty");
    return folder;
  }

  // Every path below the program, save and data folders, as it is now.
  std::set<fs::path> Snapshot() const {
    std::set<fs::path> paths;
    for (const fs::path& top : {program_, save_, data_}) {
      for (const auto& e : fs::recursive_directory_iterator(top)) paths.insert(e.path());
    }
    return paths;
  }

  // The files below the program, save and data folders that were not there
  // at `before` and are none of the run's own files: what a run left behind.
  std::vector<fs::path> Leftovers(const std::set<fs::path>& before) const {
    std::vector<fs::path> left;
    for (const fs::path& path : Snapshot()) {
      const bool own = path.parent_path() == program_ &&
                       (path.extension() == ".log" || path.extension() == ".lock" ||
                        path.extension() == ".recovery");
      if (!before.contains(path) && !own && !fs::is_directory(fs::symlink_status(path))) {
        left.push_back(path);
      }
    }
    return left;
  }

  // Whether file is absent or holds `before` (its bytes before a run), or is
  // a complete archive of folders; a complete one's bytes join `complete`.
  bool OldOrComplete(const fs::path& file, const std::string& before,
                     const std::vector<fs::path>& folders, std::set<std::string>* complete) {
    if (!fs::exists(file)) return before.empty();
    const std::string now = ReadBytes(file);
    if (now == before || complete->contains(now)) return true;
    const std::string wrong = Mismatch(file, folders);
    if (!wrong.empty()) {
      ADD_FAILURE() << wrong;
      return false;
    }
    complete->insert(now);
    return true;
  }
};

TEST_F(RealArchiverRuns, RunsKilledOrStoppedMidArchiveLoseNothingAndLeaveNothingBehind) {
  std::mt19937 random = SeededRandom();
  const OrphansLeftUncollected orphans;
  const int kills = kSlowBuild ? 3 : 10;
  const fs::path target = LargeTarget("big", kSlowBuild ? (2 << 20) : (8 << 20));
  MakeReadOnly(target);
  int leftWritable = 0, leftRecords = 0, lostArchives = 0, lostCopies = 0, failedNextRuns = 0;
  for (const std::string type : {"LHA", "ZIP"}) {
    const std::string extension = type == "LHA" ? ".lzh" : ".zip";
    const fs::path archive = save_ / ("big" + extension);
    const fs::path copy = save_ / ("big latest" + extension);
    Settings(SaveSection(type) + "[BackUP_Target]\n0000=" + target.string() +
             "\n[BackUP_Name]\n0000=big" + extension + "\n[BackUP_ConstantName]\n0000=big latest" +
             extension + "\n");
    // A first run writes the archive the stopped runs update; a second,
    // updating it as they do, says how long a whole run takes.
    ASSERT_EQ(Run(), 0) << output_;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Run(), 0) << output_;
    const auto whole = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    ASSERT_EQ(Mismatch(archive, {target}), "");
    std::set<std::string> complete = {ReadBytes(archive)};
    const std::set<fs::path> installed = Snapshot();
    std::uniform_int_distribution<int> when(0, static_cast<int>(whole.count()));
    for (const int signal : {SIGKILL, SIGTERM}) {
      const std::string name = type + (signal == SIGKILL ? ", kill -9" : ", SIGTERM");
      std::map<std::string, int> endings;
      int leftByKills = 0, leftFiles = 0;
      uintmax_t leftBytes = 0;
      for (int attempt = 0; attempt < kills; ++attempt) {
        const std::string oldArchive = ReadBytes(archive), oldCopy = ReadBytes(copy);
        const pid_t run = Start();
        std::this_thread::sleep_for(std::chrono::milliseconds(when(random)));
        ::kill(run, signal);
        const Ending ending = Wait(run);
        ++endings[ending.Text()];
        if (signal == SIGTERM && ending.exited) {
          // Stopped by its handler, or done before the signal came.
          EXPECT_TRUE(ending.status == 143 || ending.status == 0) << ending.Text() << Printed(run);
        }
        lostArchives += !OldOrComplete(archive, oldArchive, {target}, &complete);
        lostCopies += !OldOrComplete(copy, oldCopy, {target}, &complete);
        leftByKills += !Leftovers(installed).empty();

        // The next run puts right what the stopped one left, then does its work.
        const int next = Run();
        failedNextRuns += next != 0;
        EXPECT_EQ(next, 0) << output_;
        leftWritable += Writable(target);
        leftRecords += !ClearedFolderRecords().empty();
        for (const fs::path& file : Leftovers(installed)) {
          ++leftFiles;
          leftBytes += fs::file_size(file);
          ADD_FAILURE() << name << ": left " << file;
          fs::remove(file);  // counted once
        }
        lostArchives += !fs::exists(archive) || !OldOrComplete(archive, "", {target}, &complete);
        MakeReadOnly(target);  // for the next kill, whatever happened
      }
      std::cout << name << " (a whole run takes " << whole.count() << " ms):";
      for (const auto& [ending, count] : endings)
        std::cout << " " << ending << " x" << count << ";";
      std::cout << " " << leftByKills << " of " << kills
                << " stopped runs left files for the next run to remove; after the next run "
                << leftFiles << " files (" << leftBytes << " bytes) were left" << std::endl;
    }
  }
  std::cout << "of " << 4 * kills << " stopped runs: " << leftWritable
            << " left the read-only target writable, " << leftRecords
            << " left a record of a cleared folder, " << lostArchives << " archives and "
            << lostCopies << " fixed-name copies were neither the old one nor complete, "
            << failedNextRuns << " next runs failed" << std::endl;
  EXPECT_EQ(leftWritable, 0);
  EXPECT_EQ(leftRecords, 0);
  EXPECT_EQ(lostArchives, 0);
  EXPECT_EQ(lostCopies, 0);
  EXPECT_TRUE(TemporaryFiles().empty());
}

TEST_F(RealArchiverRuns, FourRunsAtOnceLeaveEveryArchiveCompleteAndEveryFailureRecorded) {
  const size_t bytes = kSlowBuild ? (64 << 10) : (256 << 10);
  std::vector<fs::path> folders;
  for (int i = 0; i < 6; ++i) folders.push_back(LargeTarget("f" + std::to_string(i), bytes));
  const fs::path d = LargeTarget("d", bytes);
  for (const std::string type : {"LHA", "ZIP"}) {
    const std::string extension = type == "LHA" ? ".lzh" : ".zip";
    fs::remove_all(save_);
    fs::create_directories(save_);
    fs::remove(program_ / "slotbackup.log");
    // Six slots add their folders to one archive, which every run updates;
    // one writes an archive named for the second the run reaches it; and one
    // fails in every run, on a FIFO planted at its archive's name.
    std::string targets = "[BackUP_Target]\n", names = "[BackUP_Name]\n";
    for (size_t i = 0; i < folders.size(); ++i) {
      targets += "000" + std::to_string(i) + "=" + folders[i].string() + "\n";
      names += "000" + std::to_string(i) + "=all" + extension + "\n";
    }
    targets += "0006=" + d.string() + "\n0007=" + d.string() + "\n";
    names += "0006=d %D" + extension + "\n0007=blocked" + extension + "\n";
    ASSERT_EQ(mkfifo((save_ / ("blocked" + extension)).c_str(), 0600), 0);
    Settings(SaveSection(type) + targets + names + "[BackUP_ConstantName]\n0006=d latest" +
             extension + "\n");
    const std::string ini = ReadBytes(program_ / "slotbackup.ini");
    std::vector<pid_t> runs;
    for (int i = 0; i < 4; ++i) runs.push_back(Start());
    for (pid_t run : runs) {
      EXPECT_EQ(Wait(run).Text(), "exit status 2") << type << Printed(run);
      EXPECT_EQ(
          Printed(run).rfind("slotbackup: slot 0007: archiving " + d.string() + " failed: ", 0), 0u)
          << type << Printed(run);
    }
    EXPECT_EQ(Mismatch(save_ / ("all" + extension), folders), "") << type;
    int stamped = 0;
    for (const auto& e : fs::directory_iterator(save_)) {
      const std::string name = e.path().filename().string();
      if (name.starts_with("d ")) {
        stamped += name != "d latest" + extension;
        EXPECT_EQ(Mismatch(e.path(), {d}), "") << type;
      }
    }
    std::set<std::string> keys;
    for (const std::string& entry : ErrorLog()) keys.insert(entry.substr(0, entry.find('=')));
    const auto messages = ArchiverMessages();
    std::cout << type << ": 4 runs at once wrote " << stamped
              << " archives named for their second and kept " << keys.size()
              << " of 4 failures in Error_LOG, " << messages.size() << " of 4 reasons" << std::endl;
    EXPECT_GE(stamped, 1);
    EXPECT_EQ(keys.size(), 4u) << type;
    EXPECT_EQ(messages.size(), 4u) << type;
    for (const std::string& message : messages) {
      EXPECT_NE(message.find("it is a FIFO, not a regular file"), std::string::npos) << message;
    }
    EXPECT_TRUE(LogFile().empty()) << type;
    EXPECT_TRUE(TemporaryFiles().empty()) << type;
    EXPECT_TRUE(fs::is_fifo(save_ / ("blocked" + extension)));
    // Only Error_LOG was added to the settings.
    EXPECT_EQ(ReadBytes(program_ / "slotbackup.ini").substr(0, ini.size()), ini);
    Settings(ini);
  }
}

}  // namespace
