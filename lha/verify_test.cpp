// Reading an archive back while it is written: the reader keeps pace with
// members declared final, finds a member that decodes to other data, and
// stops at once when the writer gives up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "archlib/entry.h"
#include "lha/crc16.h"
#include "lha/memory_archive.h"
#include "lha/verify.h"

namespace lha {
namespace {

// A temporary file the archive is written to piece by piece.
class ScratchFile {
 public:
  ScratchFile() {
    char path[] = "/tmp/lha-verify-XXXXXX";
    fd_ = mkstemp(path);
    path_ = path;
  }
  ~ScratchFile() {
    close(fd_);
    unlink(path_.c_str());
  }
  int fd() const { return fd_; }
  uint64_t Append(const std::vector<uint8_t>& bytes) {
    EXPECT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    return static_cast<uint64_t>(lseek(fd_, 0, SEEK_CUR));
  }

 private:
  int fd_;
  std::string path_;
};

struct Member {
  std::vector<uint8_t> bytes;  // header and data, without the end marker
  ExpectedMember expected;
};

Member MakeMember(size_t size, uint8_t seed) {
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>("abcab"[i % 5] + seed * (i % 7));
  Member m;
  m.bytes = CompressToArchive(data, kLh5);
  m.bytes.pop_back();  // the end marker
  m.expected = ExpectedMember{size, Crc16(0, data.data(), data.size()), true};
  return m;
}

std::string FailureOf(ScratchFile& file, const std::vector<Member>& members,
                      std::vector<ExpectedMember> expected, bool endMarker = true) {
  Verifier verifier(platform::OpenFile(file.fd(), "the new archive"));
  uint64_t size = 0;
  for (size_t i = 0; i < members.size(); ++i) {
    size = file.Append(members[i].bytes);
    if (i < expected.size()) verifier.Add(expected[i], size);
  }
  if (endMarker) size = file.Append({0});
  try {
    verifier.Finish(size);
  } catch (const archlib::Failure& e) {
    return e.what();
  }
  return "";
}

TEST(Verifier, AcceptsMembersDeclaredOneByOneAndAnEmptyArchive) {
  std::vector<Member> members = {MakeMember(70000, 1), MakeMember(10, 2), MakeMember(300000, 3)};
  ScratchFile file;
  EXPECT_EQ(
      FailureOf(file, members, {members[0].expected, members[1].expected, members[2].expected}),
      "");
  ScratchFile empty;
  EXPECT_EQ(FailureOf(empty, {}, {}), "");
}

TEST(Verifier, NamesTheMemberThatDecodesToOtherDataOrIsNotExpected) {
  std::vector<Member> members = {MakeMember(5000, 1), MakeMember(6000, 2)};
  ExpectedMember wrong = members[1].expected;
  wrong.crc ^= 1;
  ScratchFile file;
  EXPECT_NE(
      FailureOf(file, members, {members[0].expected, wrong}).find("member 2 decodes to other"),
      std::string::npos);

  ScratchFile extra;
  EXPECT_NE(FailureOf(extra, members, {members[0].expected}).find("more members"),
            std::string::npos);
}

TEST(Verifier, StopsWithoutAFindingWhenTheWriterGivesUpMidway) {
  ScratchFile file;
  Member m = MakeMember(100000, 4);
  Verifier verifier(platform::OpenFile(file.fd(), "the new archive"));
  // Half a member is on disk, none declared final: the reader is waiting.
  file.Append(std::vector<uint8_t>(m.bytes.begin(), m.bytes.begin() + m.bytes.size() / 2));
  verifier.Add(ExpectedMember{}, 10);
  usleep(10000);
  // Destroying it now must return promptly instead of waiting for bytes.
}

}  // namespace
}  // namespace lha
