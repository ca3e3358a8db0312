// The add command under attack, with its compressing threads at work: killed
// at random points, run several times at once on one archive, run by a user
// who cannot read one of the files. The archive is always the old one or a
// complete new one; nothing is lost.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "archlib/entry.h"
#include "lha/add.h"
#include "lha/command.h"
#include "testing/support.h"

namespace fs = std::filesystem;
using test_support::ReadBytes;
using test_support::WriteBytes;

namespace lha {
namespace {

// Runs the command in a child process; returns its result message, or
// "killed" when it died by a signal.
class Child {
 public:
  explicit Child(const Command& command, uid_t uid = 0, gid_t gid = 0) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      if (uid != 0 && (setgid(gid) != 0 || setuid(uid) != 0)) _exit(3);
      std::string message;
      int status = 0;
      try {
        message = AddToArchive(command);
      } catch (const archlib::Failure& e) {
        message = e.what();
        status = 1;
      }
      if (write(fds[1], message.data(), message.size()) < 0) status = 2;
      _exit(status);
    }
    close(fds[1]);
    read_ = fds[0];
  }
  ~Child() {
    if (read_ >= 0) close(read_);
  }
  pid_t Pid() const { return pid_; }

  // Waits for the child; sets `ok` to whether it succeeded.
  std::string Wait(bool* ok = nullptr) {
    std::string message;
    char buffer[512];
    for (ssize_t n; (n = read(read_, buffer, sizeof buffer)) > 0;) message.append(buffer, n);
    int status = 0;
    waitpid(pid_, &status, 0);
    if (ok != nullptr) *ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return WIFSIGNALED(status) ? "killed" : message;
  }

 private:
  pid_t pid_ = -1;
  int read_ = -1;
};

class Attack : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "out");
    std::mt19937 rng(23);
    for (int i = 0; i < 120; ++i) {
      std::string s;
      while (s.size() < 1000 + rng() % 60000) s += "line " + std::to_string(rng() % 5000) + "\n";
      WriteBytes(root_ / "tree" / ("d" + std::to_string(i % 6)) / ("f" + std::to_string(i)), s);
    }
    command_.recurse = true;
    command_.archive = (root_ / "out" / "backup.lzh").string();
    command_.targets = {(root_ / "tree").string()};
  }

  // Files in the save folder besides the archive: temporary files left.
  size_t Leftovers() const {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(root_ / "out")) {
      if (e.path().filename() != "backup.lzh") ++n;
    }
    return n;
  }

  test_support::ScratchFolder root_;
  Command command_;
};

TEST_F(Attack, KilledAtAnyPointTheArchiveIsTheOldOneOrACompleteNewOne) {
  // The old archive holds another folder; the new one adds the tree to it.
  WriteBytes(root_ / "other" / "keep.txt", "kept across every run");
  Command first = command_;
  first.targets = {(root_ / "other").string()};
  AddToArchive(first);
  const std::string old = ReadBytes(command_.archive);
  const auto start = std::chrono::steady_clock::now();
  AddToArchive(command_);
  const auto whole = std::chrono::steady_clock::now() - start;
  const std::string complete = ReadBytes(command_.archive);
  ASSERT_NE(complete, old);

  std::mt19937 rng(29);
  int sawOld = 0, sawNew = 0;
  for (int round = 0; round < 16; ++round) {
    WriteBytes(command_.archive, old);
    Child child(command_);
    const auto at = std::chrono::duration_cast<std::chrono::microseconds>(whole) *
                    static_cast<int>(rng() % 120) / 100;
    std::this_thread::sleep_for(at);
    kill(child.Pid(), round % 2 == 0 ? SIGKILL : SIGTERM);
    child.Wait();
    const std::string now = ReadBytes(command_.archive);
    ASSERT_TRUE(now == old || now == complete) << "round " << round;
    (now == old ? sawOld : sawNew)++;
    for (const auto& e : fs::directory_iterator(root_ / "out")) {
      if (e.path().filename() != "backup.lzh") fs::remove(e.path());
    }
  }
  // The early kills at least found the old archive as it was.
  EXPECT_GT(sawOld, 0) << sawNew << " rounds ended with the new archive";
}

TEST_F(Attack, RunsAtOnceOnOneArchiveEachLeaveItCompleteAndNothingBehind) {
  WriteBytes(root_ / "other" / "keep.txt", "kept");
  Command first = command_;
  first.targets = {(root_ / "other").string()};
  AddToArchive(first);
  AddToArchive(command_);
  const std::string expected = ReadBytes(command_.archive);
  std::vector<std::unique_ptr<Child>> children;
  for (int i = 0; i < 4; ++i) children.push_back(std::make_unique<Child>(command_));
  for (auto& child : children) {
    bool ok = false;
    const std::string message = child->Wait(&ok);
    EXPECT_TRUE(ok) << message;
  }
  // Each read the same old archive and wrote the same new one in full.
  EXPECT_TRUE(ReadBytes(command_.archive) == expected);
  EXPECT_EQ(Leftovers(), 0u);
}

TEST_F(Attack, AFileItsUserCannotReadFailsTheCallNamingItAndKeepsItsOldMember) {
  if (getuid() != 0) GTEST_SKIP() << "run as root: the test makes a user who cannot read a file";
  const char* const user = "slotbackup-test";
  if (getpwnam(user) == nullptr) {
    ASSERT_EQ(std::system("useradd --system --no-create-home slotbackup-test"), 0);
  }
  const passwd* pw = getpwnam(user);
  ASSERT_NE(pw, nullptr);
  // The user owns the save folder and may read the tree.
  ASSERT_EQ(chown((root_ / "out").c_str(), pw->pw_uid, pw->pw_gid), 0);
  fs::permissions(root_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  Child made(command_, pw->pw_uid, pw->pw_gid);
  bool ok = false;
  ASSERT_EQ(made.Wait(&ok).rfind("added 127 and kept 0 members", 0), 0u);
  ASSERT_TRUE(ok);
  const std::string old = ReadBytes(command_.archive);

  const fs::path secret = root_ / "tree" / "d3" / "f63";
  fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
  Child denied(command_, pw->pw_uid, pw->pw_gid);
  const std::string message = denied.Wait(&ok);
  EXPECT_FALSE(ok);
  // The rest is archived again; the file's old member stays.
  EXPECT_EQ(message, "left out 1 entry it could not read (cannot read " + secret.string() +
                         ": Permission denied), listed in " + command_.archive +
                         ".missing.txt; added 126 and kept 1 members: " + command_.archive);
  EXPECT_EQ(ReadBytes(command_.archive).size(), old.size());
  EXPECT_TRUE(fs::exists(command_.archive + ".missing.txt"));
  EXPECT_EQ(Leftovers(), 1u) << "the list of what is missing, and nothing else";
}

// A file larger than the format holds is refused before any of it is read
// (a sparse file: reading it would take a minute); the rest is archived.
TEST_F(Attack, AFileOfFourGibibytesIsLeftOutUnread) {
  const fs::path large = root_ / "tree" / "d0" / "disk.img";
  WriteBytes(large, "");
  fs::resize_file(large, 5ull << 30);
  const auto start = std::chrono::steady_clock::now();
  const std::string message = test_support::FailureOf([&] { AddToArchive(command_); });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(message,
            "left out 1 entry it could not read (file too large for an LHA archive (4 GiB "
            "or more): " +
                large.string() + "), listed in " + command_.archive +
                ".missing.txt; added 127 and kept 0 members: " + command_.archive);
}

}  // namespace
}  // namespace lha
