// What the file layer promises every writer and reader above it: a name
// that holds a FIFO, link or device never blocks or misleads a read; reads
// stop at the size a file had when opened; a temporary file is ours by name,
// never readable by more people than its destination, and on any failure
// leaves the destination as it was and nothing behind.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/posix/atomic_file.h"
#include "platform/posix/fault_injection.h"
#include "platform/posix/io.h"
#include "platform/posix/locale.h"
#include "platform/posix/regular_file.h"
#include "platform/temp_name.h"
#include "testing/fault_sweep.h"
#include "testing/processes.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace platform::posix {
namespace {

using test_support::FailureOf;
using test_support::ReadBytes;
using test_support::ScratchFolder;
using test_support::TemporaryFiles;
using test_support::WriteBytes;

class RegularFileTest : public ::testing::Test {
 protected:
  fs::path Path(const char* name) const { return folder_.path() / name; }
  ScratchFolder folder_;
};

TEST_F(RegularFileTest, AFifoIsRefusedAtOnceAndNamedAsSuch) {
  const fs::path fifo = Path("archive.lzh");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // No writer ever comes: a blocking open would wait forever.
  EXPECT_EQ(
      test_support::InChild([&] {
        return FailureOf([&] { RegularFile::Open(fifo, Links::kFollow, Access::kReadWrite); });
      }),
      "cannot read " + fifo.string() + ": it is a FIFO, not a regular file");
  EXPECT_EQ(
      test_support::InChild([&] { return FailureOf([&] { RegularFile::OpenIfPresent(fifo); }); }),
      "cannot read " + fifo.string() + ": it is a FIFO, not a regular file");
}

TEST_F(RegularFileTest, FoldersDevicesAndLinksAreRefusedByWhatTheyAre) {
  fs::create_directory(Path("folder"));
  WriteBytes(Path("real"), "data");
  fs::create_symlink(Path("real"), Path("link"));
  fs::create_symlink(Path("nowhere"), Path("dangling"));
  EXPECT_NE(FailureOf([&] { RegularFile::Open(Path("folder")); }).find("it is a folder"),
            std::string::npos);
  EXPECT_NE(FailureOf([] { RegularFile::Open("/dev/null"); }).find("it is a device"),
            std::string::npos);
  EXPECT_NE(FailureOf([&] { RegularFile::Open(Path("link")); }).find("it is a symbolic link"),
            std::string::npos);
  EXPECT_NE(FailureOf([&] {
              RegularFile::OpenIfPresent(Path("dangling"));
            }).find("it is a symbolic link"),
            std::string::npos);
  // Followed where the caller asks: the file behind the link is read.
  RegularFile followed = RegularFile::Open(Path("link"), Links::kFollow);
  char data[8];
  EXPECT_EQ(followed.ReadFully(data, sizeof data), 4u);
}

TEST_F(RegularFileTest, OnlyAMissingFileIsNothingAndOtherFailuresNameThePathAndReason) {
  EXPECT_FALSE(RegularFile::OpenIfPresent(Path("absent")).has_value());
  EXPECT_EQ(FailureOf([&] { RegularFile::Open(Path("absent")); }),
            "cannot read " + Path("absent").string() + ": No such file or directory");
  WriteBytes(Path("secret"), "secret");
  fs::permissions(Path("secret"), fs::perms::none);
  fs::permissions(folder_.path(), fs::perms(0755));
  const std::string secret = Path("secret").string();
  // Exit 0: refused with the path and the reason.
  EXPECT_EQ(test_support::AsAnotherUser([&] {
              const std::string message = FailureOf([&] { RegularFile::OpenIfPresent(secret); });
              return message == "cannot read " + secret + ": Permission denied" ? 0 : 1;
            }),
            0);
}

TEST_F(RegularFileTest, ReadsStopAtTheSizeSeenWhenOpenedThoughTheFileGrows) {
  WriteBytes(Path("log"), std::string(1000, 'a'));
  RegularFile file = RegularFile::Open(Path("log"));
  {
    std::ofstream grow(Path("log"), std::ios::binary | std::ios::app);
    grow << std::string(1 << 20, 'b');
  }
  std::string data(2 << 20, '\0');
  EXPECT_EQ(file.Size(), 1000u);
  EXPECT_EQ(file.ReadFully(data.data(), data.size()), 1000u);
  EXPECT_EQ(data.substr(0, 1000), std::string(1000, 'a'));
  EXPECT_EQ(file.Read(data.data(), data.size()), 0u);
  file.Rewind();
  EXPECT_EQ(file.Read(data.data(), 600), 600u);
  EXPECT_EQ(file.Read(data.data(), 600), 400u);
  // A file that shrank ends where it now ends.
  fs::resize_file(Path("log"), 10);
  file.Rewind();
  EXPECT_EQ(file.ReadFully(data.data(), data.size()), 10u);
}

TEST_F(RegularFileTest, AFileKeptOpenForRewritingIsCreatedOnceAndRefusedAsOpenRefusesIt) {
  const fs::path lock = Path("program.lock");
  {
    Descriptor created = OpenOrCreateRegular(lock, 0640, "Cannot open the lock file");
    WriteAll(created.get(), lock, "holder", 6);
  }
  struct stat info;
  ASSERT_EQ(stat(lock.c_str(), &info), 0);
  const mode_t umask = 0666 & ~NewFileMode();
  EXPECT_EQ(info.st_mode & 0777, 0640 & ~umask);
  // Opened again, it keeps its text, and reads see what is written later.
  Descriptor again = OpenOrCreateRegular(lock, 0640, "Cannot open the lock file");
  WriteBytes(lock, "a longer text than before");
  char text[64];
  EXPECT_EQ(ReadUpTo(again.get(), lock, 0, text, sizeof text), 25u);

  const fs::path fifo = Path("fifo.lock");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(test_support::InChild(
                [&] { return FailureOf([&] { OpenOrCreateRegular(fifo, 0644, "Cannot open"); }); }),
            "Cannot open " + fifo.string() + ": it is a FIFO, not a regular file");
  // Never through a link, not even one that leads nowhere yet.
  fs::create_symlink(Path("elsewhere"), Path("link.lock"));
  EXPECT_EQ(
      FailureOf([&] { OpenOrCreateRegular(Path("link.lock"), 0644, "Cannot open"); }),
      "Cannot open " + Path("link.lock").string() + ": it is a symbolic link, not a regular file");
  EXPECT_FALSE(fs::exists(Path("elsewhere")));
  fs::create_directory(Path("folder.lock"));
  EXPECT_EQ(FailureOf([&] { OpenOrCreateRegular(Path("folder.lock"), 0644, "Cannot open"); }),
            "Cannot open " + Path("folder.lock").string() + ": Is a directory");
}

class AtomicFileTest : public ::testing::Test {
 protected:
  fs::path Path(const char* name) const { return folder_.path() / name; }
  mode_t ModeOf(const fs::path& path) const {
    struct stat info;
    EXPECT_EQ(stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
  }
  ScratchFolder folder_;
};

TEST_F(AtomicFileTest, IsCreatedPrivateAndHasItsFinalModeBeforeItsFirstByte) {
  WriteBytes(Path("shared.zip"), "old");
  fs::permissions(Path("shared.zip"), fs::perms(0644));
  WriteBytes(Path("private.zip"), "old");
  fs::permissions(Path("private.zip"), fs::perms(0600));
  std::map<std::string, mode_t> created;
  FaultInjector seam;
  seam.OnCreate([&](const std::string& path, mode_t mode) { created[path] = mode; });

  const std::map<std::string, mode_t> expected = {
      {"shared.zip", 0644}, {"private.zip", 0600}, {"new.zip", NewFileMode()}};
  for (const auto& [name, mode] : expected) {
    AtomicFile file(Path(name.c_str()));
    ASSERT_EQ(created.count(file.Path()), 1u);
    EXPECT_EQ(created[file.Path()] & 077, 0u) << name << " was readable by others as created";
    struct stat now;
    ASSERT_EQ(fstat(file.Descriptor(), &now), 0);
    EXPECT_EQ(now.st_mode & 07777, mode) << name;
    EXPECT_EQ(now.st_size, 0) << name;
  }
  AtomicFile scratch(Path("shared.zip"), 0600);
  EXPECT_EQ(ModeOf(scratch.Path()), 0600u);
}

TEST_F(AtomicFileTest, IsNamedForThisProcessBesideItsDestination) {
  AtomicFile file(Path("archive.7z"));
  EXPECT_EQ(fs::path(file.Path()).parent_path(), folder_.path());
  EXPECT_EQ(TemporaryNameOwner(fs::path(file.Path()).filename().string()),
            static_cast<uint32_t>(getpid()));
}

TEST_F(AtomicFileTest, AFileOrLinkPlantedUnderTheDrawnNameIsLeftAloneAndAnotherDrawn) {
  const uint32_t pid = static_cast<uint32_t>(getpid());
  const fs::path planted = Path(TemporaryName(pid, 7).c_str());
  const fs::path link = Path(TemporaryName(pid, 8).c_str());
  WriteBytes(planted, "someone else's");
  WriteBytes(Path("target"), "must stay");
  fs::create_symlink(Path("target"), link);
  FaultInjector seam;
  seam.DrawNumbers({7, 8, 9});
  {
    AtomicFile file(Path("archive.zip"));
    EXPECT_EQ(file.Path(), Path(TemporaryName(pid, 9).c_str()).string());
    WriteAll(file.Descriptor(), file.Path(), "new", 3);
    file.Commit();
  }
  EXPECT_EQ(ReadBytes(planted), "someone else's");
  EXPECT_EQ(ReadBytes(Path("target")), "must stay");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(Path("archive.zip")), "new");
}

TEST_F(AtomicFileTest, CommitReplacesKeepingThePermissionsAndAnUncommittedFileVanishes) {
  WriteBytes(Path("archive.zip"), "old");
  fs::permissions(Path("archive.zip"), fs::perms(0640));
  {
    AtomicFile file(Path("archive.zip"));
    WriteAll(file.Descriptor(), file.Path(), "abandoned", 9);
  }
  EXPECT_EQ(test_support::Names(folder_.path()), std::vector<std::string>{"archive.zip"});
  EXPECT_EQ(ReadBytes(Path("archive.zip")), "old");
  {
    AtomicFile file(Path("archive.zip"));
    WriteAll(file.Descriptor(), file.Path(), "new", 3);
    file.Commit();
  }
  EXPECT_EQ(ReadBytes(Path("archive.zip")), "new");
  EXPECT_EQ(ModeOf(Path("archive.zip")), 0640u);
  EXPECT_EQ(test_support::Names(folder_.path()), std::vector<std::string>{"archive.zip"});
}

TEST_F(AtomicFileTest, EveryFailureUpToTheRenameLeavesTheOldFileAndNothingElse) {
  const std::string old = "the old content, which must survive";
  const std::string block(100000, 'n');
  const size_t faults = test_support::SweepFaults(
      [&] { WriteBytes(Path("file"), old); },
      [&] {
        try {
          AtomicFile file(Path("file"));
          for (int i = 0; i < 5; ++i)
            WriteAll(file.Descriptor(), Path("file"), block.data(), 20000);
          file.Commit();
          return true;
        } catch (const Error& e) {
          // The message names the file and the system's reason.
          EXPECT_NE(std::string(e.what()).find(Path("file").string()), std::string::npos);
          return false;
        }
      },
      [&](const std::string& fault, bool failed) {
        EXPECT_TRUE(failed) << fault << " was reported as success";
        EXPECT_EQ(ReadBytes(Path("file")), old) << fault;
        EXPECT_TRUE(TemporaryFiles(folder_.path()).empty()) << fault;
      });
  EXPECT_EQ(faults, 5u + 1u + 1u);
}

TEST_F(AtomicFileTest, AFailedFolderFlushIsReportedButANotSupportedOneIsNot) {
  WriteBytes(Path("file"), "old");
  FaultInjector seam;
  seam.FailFolderSync(1, EIO);
  {
    AtomicFile file(Path("file"));
    WriteAll(file.Descriptor(), file.Path(), "new", 3);
    EXPECT_EQ(FailureOf([&] { file.Commit(); }),
              "cannot flush the folder " + folder_.path().string() + ": Input/output error");
  }
  // The rename had happened: the new content is there, the temporary gone.
  EXPECT_EQ(ReadBytes(Path("file")), "new");
  EXPECT_EQ(test_support::Names(folder_.path()), std::vector<std::string>{"file"});
  seam.FailFolderSync(2, EINVAL);
  AtomicFile file(Path("file"));
  EXPECT_EQ(FailureOf([&] { file.Commit(); }), "");
}

TEST_F(AtomicFileTest, ANewFileGetsWhatTheUmaskLeaves) {
  const mode_t saved = umask(027);
  EXPECT_EQ(NewFileMode(), 0640u);
  umask(077);
  EXPECT_EQ(NewFileMode(), 0600u);
  umask(saved);
}

// Another user watches the folder and opens every file the moment it
// appears, as an attacker would to read a private archive while it is
// written: never once may the open succeed.
TEST_F(AtomicFileTest, AnotherUserWatchingTheFolderNeverOpensATemporaryFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to watch the folder as another user";
  fs::permissions(folder_.path(), fs::perms(0755));
  const fs::path archive = Path("private.lzh");
  WriteBytes(archive, "old");
  fs::permissions(archive, fs::perms(0600));
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t watcher = fork();
  ASSERT_GE(watcher, 0);
  if (watcher == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(125);
    const int watch = inotify_init1(IN_CLOEXEC);
    if (watch < 0 || inotify_add_watch(watch, folder_.path().c_str(), IN_CREATE) < 0) _exit(124);
    if (write(ready[1], "r", 1) != 1) _exit(123);
    int opened = 0;
    for (;;) {
      pollfd fds[2] = {{watch, POLLIN, 0}, {done[0], POLLIN, 0}};
      poll(fds, 2, -1);
      if (fds[0].revents & POLLIN) {
        alignas(inotify_event) char events[4096];
        const ssize_t n = read(watch, events, sizeof events);
        for (ssize_t at = 0; at < n;) {
          const auto* e = reinterpret_cast<const inotify_event*>(events + at);
          const int fd = open((folder_.path() / e->name).c_str(), O_RDONLY | O_NONBLOCK);
          if (fd >= 0) {
            ++opened;
            close(fd);
          }
          at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
      } else if (fds[1].revents) {
        _exit(opened > 100 ? 100 : opened);
      }
    }
  }
  char byte;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  const std::string block(1 << 20, 'p');
  for (int run = 0; run < 25; ++run) {
    AtomicFile file(archive.string());
    for (int i = 0; i < 4; ++i)
      WriteAll(file.Descriptor(), file.Path(), block.data(), block.size());
    file.Commit();
  }
  ASSERT_EQ(write(done[1], "d", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(watcher, &status, 0), watcher);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "temporary files the watcher opened";
  for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
}

TEST(WholeWrites, AShortWriteOnAFillingDiskFailsNamingTheFileAndTheReason) {
  ScratchFolder folder;
  const fs::path path = folder.path() / "out";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  {
    FaultInjector seam;
    seam.FailWrite(2, 3, ENOSPC);
    WriteAll(fd, "the archive", "0123456789", 10);
    EXPECT_EQ(FailureOf([&] { WriteAll(fd, "the archive", "abcdefghij", 10); }),
              "cannot write the archive: No space left on device");
    EXPECT_EQ(FailureOf([&] { WriteAllAt(fd, "the archive", 0, "x", 1); }),
              "cannot write the archive: No space left on device");
    EXPECT_EQ(seam.Seen().bytes, 13u);
  }
  EXPECT_EQ(ReadBytes(path), "0123456789abc");
  WriteAllAt(fd, "the archive", 2, "XY", 2);
  char data[16] = {};
  ReadAt(fd, "the archive", 1, data, 3);
  EXPECT_EQ(std::string(data, 3), "1XY");
  EXPECT_EQ(ReadUpTo(fd, "the archive", 10, data, sizeof data), 3u);
  EXPECT_EQ(FailureOf([&] { ReadAt(fd, "the archive", 10, data, 4); }),
            "unexpected end of the archive");
  close(fd);
}

void Ignore(int) {}

TEST(WholeReads, APipeIsReadToItsEndThroughPausesAndInterruptedReads) {
  // A handler without SA_RESTART: a read it interrupts fails with EINTR.
  struct sigaction action {
  }, old;
  action.sa_handler = Ignore;
  ASSERT_EQ(sigaction(SIGUSR1, &action, &old), 0);
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const pthread_t reader = pthread_self();
  const std::string piece(100000, 'r');
  std::thread writer([&] {
    for (int i = 0; i < 3; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      pthread_kill(reader, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      WriteAll(ends[1], "the pipe", piece.data(), piece.size());
    }
    close(ends[1]);
  });
  std::string text;
  EXPECT_EQ(FailureOf([&] { text = ReadToEnd(ends[0], "the pipe"); }), "");
  char rest[4096];
  while (read(ends[0], rest, sizeof rest) != 0) {
    // What a failed read left, so that the writer can finish.
  }
  writer.join();
  EXPECT_EQ(text.size(), 3 * piece.size());
  EXPECT_EQ(FailureOf([&] { ReadToEnd(ends[0] + 1000, "the report"); }),
            "cannot read the report: Bad file descriptor");
  close(ends[0]);
  sigaction(SIGUSR1, &old, nullptr);
}

TEST(FaultInjectorTest, OnlyOneTakesEffectAtATime) {
  FaultInjector first;
  EXPECT_THROW(FaultInjector second, std::logic_error);
}

// Sets LC_ALL for the life of the object.
class LcAll {
 public:
  explicit LcAll(const char* value) {
    if (const char* old = std::getenv("LC_ALL")) saved_ = old;
    setenv("LC_ALL", value, 1);
  }
  ~LcAll() {
    if (saved_.empty()) {
      unsetenv("LC_ALL");
    } else {
      setenv("LC_ALL", saved_.c_str(), 1);
    }
  }

 private:
  std::string saved_;
};

// Under the C locale a reader of names must still take UTF-8, as the
// program writes it; and the thread's own locale comes back afterwards.
TEST(ThreadLocaleTest, ThePlainCLocaleReadsNamesAsUtf8AndIsRestored) {
  LcAll c("C");
  EXPECT_EQ(LocaleCodeset(), "UTF-8");
  const char e[] = "\xC3\xA9";  // é
  std::mbstate_t state{};
  wchar_t wide = 0;
  {
    ThreadLocale locale(ThreadLocale::Of::kEnvironment);
    EXPECT_EQ(std::mbrtowc(&wide, e, 2, &state), 2u);
    EXPECT_EQ(wide, L'\u00E9');
  }
  state = {};
  EXPECT_EQ(std::mbrtowc(&wide, e, 2, &state), static_cast<size_t>(-1));
  ThreadLocale utf8(ThreadLocale::Of::kUtf8);
  state = {};
  EXPECT_EQ(std::mbrtowc(&wide, e, 2, &state), 2u);
}

}  // namespace
}  // namespace platform::posix
