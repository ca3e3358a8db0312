// A folder's entries as they are, and a removal that takes regular files
// only: links, folders and FIFOs of any name are left in place, a failing
// removal names the file and the reason.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <map>

#include "platform/error.h"
#include "platform/folder.h"
#include "platform/posix/fault_injection.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

using platform::EntryKind;
using test_support::FailureOf;
using test_support::ScratchFolder;
using test_support::WriteBytes;

// The scratch folder with one entry of each kind.
void Populate(const fs::path& at) {
  WriteBytes(at / "file.zip", "12345");
  fs::create_directory(at / "folder.zip");
  fs::create_symlink(at / "file.zip", at / "link.zip");
  fs::create_symlink(at / "gone", at / "dangling.zip");
  ASSERT_EQ(mkfifo((at / "fifo.zip").c_str(), 0600), 0);
}

TEST(ListFolder, NamesEachEntryWithItsOwnKindWithoutFollowingLinks) {
  ScratchFolder scratch;
  Populate(scratch.path());
  std::map<std::string, std::pair<EntryKind, uint64_t>> seen;
  for (const platform::FolderEntry& entry : platform::ListFolder(scratch.path().string())) {
    seen[entry.name] = {entry.kind, entry.bytes};
  }
  EXPECT_EQ(seen, (std::map<std::string, std::pair<EntryKind, uint64_t>>{
                      {"file.zip", {EntryKind::kRegularFile, 5}},
                      {"folder.zip", {EntryKind::kFolder, 0}},
                      {"link.zip", {EntryKind::kLink, 0}},
                      {"dangling.zip", {EntryKind::kLink, 0}},
                      {"fifo.zip", {EntryKind::kOther, 0}}}));
}

TEST(ListFolder, AMissingFolderOrAFileIsAnErrorNamingIt) {
  ScratchFolder scratch;
  WriteBytes(scratch.path() / "file", "x");
  for (const fs::path& path : {scratch.path() / "missing", scratch.path() / "file"}) {
    const std::string failure = FailureOf([&] { platform::ListFolder(path.string()); });
    EXPECT_NE(failure.find("cannot list " + path.string() + ": "), std::string::npos) << failure;
  }
}

TEST(RemoveRegularFile, RemovesAFileAndRefusesEverythingElseLeavingItInPlace) {
  ScratchFolder scratch;
  const fs::path& at = scratch.path();
  Populate(at);
  EXPECT_EQ(platform::RemoveRegularFile((at / "file.zip").string()), 5u);
  EXPECT_FALSE(fs::exists(fs::symlink_status(at / "file.zip")));
  WriteBytes(at / "file.zip", "back");
  for (const char* name : {"folder.zip", "link.zip", "dangling.zip", "fifo.zip", "missing.zip"}) {
    const std::string failure =
        FailureOf([&] { platform::RemoveRegularFile((at / name).string()); });
    EXPECT_NE(failure.find("cannot remove " + (at / name).string()), std::string::npos) << failure;
  }
  for (const char* name : {"folder.zip", "link.zip", "dangling.zip", "fifo.zip", "file.zip"}) {
    EXPECT_TRUE(fs::exists(fs::symlink_status(at / name))) << name;
  }
  EXPECT_TRUE(fs::is_regular_file(at / "link.zip")) << "the link's target stays";
}

TEST(RemoveRegularFile, AFailingRemovalIsReportedAndTheFileStays) {
  ScratchFolder scratch;
  WriteBytes(scratch.path() / "a.zip", "a");
  platform::posix::FaultInjector faults;
  faults.FailRemove(1, EIO);
  const std::string failure =
      FailureOf([&] { platform::RemoveRegularFile((scratch.path() / "a.zip").string()); });
  EXPECT_NE(failure.find("Input/output error"), std::string::npos) << failure;
  EXPECT_TRUE(fs::exists(scratch.path() / "a.zip"));
  EXPECT_EQ(faults.Seen().removes, 1u);
}

}  // namespace
