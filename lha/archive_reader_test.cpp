// An archive's member names in code page 932, whose characters may end in
// the bytes of '\' and '|': an update finds each old member under its whole
// name, and only a link's name is cut at its target.
#include "lha/archive_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lha/add.h"
#include "lha/command.h"
#include "platform/input_file.h"
#include "testing/support.h"

namespace lha {
namespace {

namespace fs = std::filesystem;

std::vector<StoredMember> Members(const fs::path& archive) {
  const auto file = platform::InputFile::Open(archive.string());
  return ListMembers(file.File(), file.Size(), archive.string());
}

// A level-1 member of stored data whose name is declared in code page 932.
std::string Level1Member(const char* method, const std::string& name, const std::string& data) {
  // The first extended header: code page 932; then none.
  const std::string ext = {7, 0, 0x46, static_cast<char>(0xA4), 0x03, 0, 0, 0, 0};
  const size_t packed = ext.size() - 2 + data.size();
  std::string h = {static_cast<char>(25 + name.size()), 0};
  h += method;
  for (size_t v : {packed, data.size()}) {
    for (int i = 0; i < 4; ++i) h += static_cast<char>(v >> (8 * i));
  }
  h += std::string(4, '\0');  // time
  h += {0x20, 1, static_cast<char>(name.size())};
  h += name;
  h += {0, 0, 'M'};  // data CRC, system
  return h + ext + data;
}

TEST(ArchiveReader, AnUpdateReplacesAMemberWhoseNameHoldsTheByteOfABar) {
  test_support::ScratchFolder scratch;
  const std::string port = "\x83\x7C\x81\x5B\x83\x67.txt";  // ポート.txt in code page 932
  test_support::WriteBytes(scratch.path() / "docs" / port, "first");
  test_support::WriteBytes(scratch.path() / "docs" / "\x95\x5C.txt", "table");  // 表.txt
  Command command;
  command.recurse = true;
  command.archive = (scratch.path() / "a.lzh").string();
  command.targets = {(scratch.path() / "docs").string()};
  AddToArchive(command);
  test_support::WriteBytes(scratch.path() / "docs" / port, "second");
  AddToArchive(command);

  std::vector<std::string> paths;
  for (const StoredMember& m : Members(scratch.path() / "a.lzh")) paths.push_back(m.path);
  EXPECT_EQ(paths, (std::vector<std::string>{"docs", "docs/" + port, "docs/\x95\x5C.txt"}));
}

TEST(ArchiveReader, OldHeadersSplitAtBackslashesAndLinksAtBarsThatAreCharacters) {
  test_support::ScratchFolder scratch;
  // ポ\表.txt, and the link ポ|target: the separators follow characters
  // whose second bytes are 0x7C and 0x5C.
  test_support::WriteBytes(scratch.path() / "old.lzh",
                           Level1Member("-lh0-", "\x83\x7C\\\x95\x5C.txt", "data") +
                               Level1Member("-lhd-", "\x83\x7C|target", "") + '\0');
  const std::vector<StoredMember> members = Members(scratch.path() / "old.lzh");
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(members[0].path, "\x83\x7C/\x95\x5C.txt");
  EXPECT_EQ(members[0].originalSize, 4u);
  EXPECT_EQ(members[1].path, "\x83\x7C");
}

}  // namespace
}  // namespace lha
