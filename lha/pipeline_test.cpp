// Members compressed on worker threads and written in walk order: the
// archive is byte for byte the same for any number of threads and any
// memory limits, and a member that cannot be read or an archive that
// cannot be written fails the call without leaving a thread behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "archlib/entry.h"
#include "archlib/tree_walk.h"
#include "lha/add.h"
#include "lha/command.h"
#include "lha/member_pipeline.h"
#include "lha/out_file.h"
#include "testing/support.h"

namespace fs = std::filesystem;
using test_support::Noise;
using test_support::ReadBytes;
using test_support::Words;
using test_support::WriteBytes;

namespace lha {
namespace {

class Pipeline : public ::testing::Test {
 protected:
  // A tree with every kind of member: text that compresses, random data
  // that is stored (given up on after a megabyte, or compressed to the end
  // in vain), empty files, folders and a link.
  fs::path MakeTree() {
    const fs::path t = root_ / "tree";
    std::mt19937 rng(17);
    auto text = [&](size_t n) { return Words(rng, n); };
    auto random = [&](size_t n) { return Noise(rng, n); };
    WriteBytes(t / "big.txt", text(3 << 20));
    WriteBytes(t / "random 2M.bin", random(2 << 20));
    WriteBytes(t / "random 50K.bin", random(50000));
    for (int i = 0; i < 60; ++i) {
      WriteBytes(t / ("dir" + std::to_string(i % 4)) / ("f" + std::to_string(i)),
                 i % 7 == 0 ? std::string() : text(rng() % 200000));
    }
    fs::create_directories(t / "empty folder");
    fs::create_symlink("big.txt", t / "link");
    return t;
  }

  // The archive's members as the pipeline writes them, and what reading
  // them back must give.
  std::string Members(const fs::path& tree, unsigned threads, const PipelineLimits& limits,
                      std::vector<ExpectedMember>* expected = nullptr) {
    const fs::path out = root_ / "members";
    int fd = open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_GE(fd, 0);
    {
      OutFile file(platform::OpenFile(fd, "the archive"));
      MemberPipeline pipeline(
          kLh5, 65001, threads, file,
          [&](const ExpectedMember& m) {
            if (expected != nullptr) expected->push_back(m);
          },
          limits);
      archlib::WalkTarget(tree.string(), [&](const archlib::TreeEntry& e) { pipeline.Add(e); });
      pipeline.Finish();
      file.Flush();
    }
    close(fd);
    return ReadBytes(out);
  }

  test_support::ScratchFolder root_;
};

TEST_F(Pipeline, TheArchiveIsTheSameWithOneThreadOrManyAndAnyMemoryLimits) {
  const fs::path tree = MakeTree();
  std::vector<ExpectedMember> expected;
  const std::string one = Members(tree, 1, {}, &expected);
  ASSERT_EQ(expected.size(), 70u);
  EXPECT_EQ(std::count_if(expected.begin(), expected.end(),
                          [](const ExpectedMember& m) { return m.size == 2u << 20; }),
            1);
  // Limits so tight that every worker waits for room and the writer waits
  // for every member: each path of the hand-over is taken.
  const PipelineLimits tight{100 << 10, 64 << 10, 3};
  EXPECT_TRUE(Members(tree, 4, tight) == one);
  EXPECT_TRUE(Members(tree, 8, {}) == one);
  EXPECT_TRUE(Members(tree, 2, PipelineLimits{0, 0, 1}) == one);

  // Through the entry point too, verification included.
  Command command;
  command.recurse = true;
  command.targets = {tree.string()};
  command.archive = (root_ / "one.lzh").string();
  command.threads = 1;
  AddToArchive(command);
  command.archive = (root_ / "many.lzh").string();
  command.threads = 6;
  AddToArchive(command);
  EXPECT_TRUE(ReadBytes(root_ / "one.lzh") == ReadBytes(root_ / "many.lzh"));
}

TEST_F(Pipeline, WritesMembersAsTheQueueFillsNotAllAtTheEnd) {
  const fs::path tree = root_ / "many";
  for (int i = 0; i < 200; ++i) WriteBytes(tree / ("f" + std::to_string(i)), "tiny");
  const fs::path out = root_ / "members";
  int fd = open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  OutFile file(platform::OpenFile(fd, "the archive"));
  size_t added = 0, finished = 0;
  MemberPipeline pipeline(
      kLh7, 65001, 3, file, [&](const ExpectedMember&) { ++finished; },
      PipelineLimits{1 << 20, 1 << 20, 8});
  archlib::WalkTarget(tree.string(), [&](const archlib::TreeEntry& e) {
    pipeline.Add(e);
    ++added;
    // Never more than the queue's limit waits.
    EXPECT_LT(added - finished, 8u) << added;
  });
  pipeline.Finish();
  EXPECT_EQ(finished, 201u);
  close(fd);
}

TEST_F(Pipeline, AMemberThatCannotBeReadFailsTheCallNamingIt) {
  const fs::path tree = MakeTree();
  const fs::path out = root_ / "members";
  int fd = open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  std::string failure;
  try {
    OutFile file(platform::OpenFile(fd, "the archive"));
    MemberPipeline pipeline(
        kLh5, 65001, 4, file, [](const ExpectedMember&) {},
        PipelineLimits{100 << 10, 64 << 10, 16});
    archlib::WalkTarget(tree.string(), [&](const archlib::TreeEntry& e) {
      archlib::TreeEntry entry = e;
      // Gone between the walk and the read.
      if (e.archivePath == "tree/dir1/f13") entry.diskPath = (root_ / "gone").string();
      pipeline.Add(entry);
    });
    pipeline.Finish();
  } catch (const archlib::Failure& e) {
    failure = e.what();
  }
  close(fd);
  EXPECT_NE(failure.find("cannot read " + (root_ / "gone").string()), std::string::npos) << failure;
}

TEST_F(Pipeline, AnArchiveThatCannotBeWrittenFailsTheCall) {
  const fs::path tree = MakeTree();
  int fd = open("/dev/full", O_RDWR | O_CLOEXEC);
  if (fd < 0) GTEST_SKIP() << "no /dev/full";
  std::string failure;
  try {
    OutFile file(platform::OpenFile(fd, "the archive"));
    MemberPipeline pipeline(
        kLh5, 65001, 4, file, [&](const ExpectedMember&) { file.Flush(); },
        PipelineLimits{100 << 10, 64 << 10, 16});
    archlib::WalkTarget(tree.string(), [&](const archlib::TreeEntry& e) { pipeline.Add(e); });
    pipeline.Finish();
  } catch (const archlib::Failure& e) {
    failure = e.what();
  }
  close(fd);
  EXPECT_EQ(failure, "cannot write the archive: No space left on device");
}

}  // namespace
}  // namespace lha
