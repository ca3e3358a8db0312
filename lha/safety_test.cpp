// What an LHA update must never carry over from an old archive: an entry
// that would extract outside its folder. (What an update in either library
// must never do under faults and planted files is archlib/safety_test.cpp.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archlib/entry.h"
#include "lha/add.h"
#include "lha/command.h"
#include "lha/crc16.h"
#include "lha/header.h"
#include "testing/processes.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace lha {
namespace {

namespace layer = test_support;

struct Outcome {
  int result;
  std::string message;
};

Outcome Add(const std::string& line) {
  char area[512];
  const int result =
      archlib::RunCommand(area, sizeof area, [&] { return AddToArchive(ParseCommand(line)); });
  return {result, area};
}

// A member as an old archive may hold it: stored data under any name.
std::vector<uint8_t> StoredMember(const std::string& path, const std::string& data) {
  MemberHeader h;
  h.path = path;
  h.mode = 0100644;
  h.originalSize = h.packedSize = data.size();
  h.crc = Crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size());
  std::vector<uint8_t> member = EncodeHeader(h);
  member.insert(member.end(), data.begin(), data.end());
  return member;
}

TEST(LhaSafety, AnUpdateDropsAbsoluteAndParentNamesOfTheOldArchiveAndSaysSo) {
  const layer::ScratchFolder folder;
  const fs::path docs = folder / "Docs", archive = folder / "save" / "hostile.lzh";
  layer::WriteBytes(docs / "a.txt", std::string(70000, 'a'));
  layer::WriteBytes(docs / "sub" / "b.txt", "bravo");
  std::vector<uint8_t> bytes;
  for (const auto& [name, data] : std::vector<std::pair<std::string, std::string>>{
           {"../../evil.txt", "up"}, {"/etc/evil.txt", "root"}, {"Keep/kept.txt", "kept"}}) {
    const std::vector<uint8_t> member = StoredMember(name, data);
    bytes.insert(bytes.end(), member.begin(), member.end());
  }
  bytes.push_back(0);
  layer::WriteBytes(archive, std::string(bytes.begin(), bytes.end()));

  const Outcome o = Add("a -r2 -x1 \"" + archive.string() + "\" \"" + docs.string() + "\"");
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(o.message,
            "added 4 and kept 1 members and dropped 2 unsafe names: " + archive.string());
  if (!layer::Installed("lhasa") || !layer::Installed("bsdtar"))
    GTEST_SKIP() << "lhasa or bsdtar not installed";
  const std::string listing = layer::Output("bsdtar -tf '" + archive.string() + "'");
  EXPECT_EQ(listing, "Docs/\nDocs/a.txt\nDocs/sub/\nDocs/sub/b.txt\nKeep/kept.txt\n");
  const std::string test = layer::Output("lhasa t '" + archive.string() + "'");
  EXPECT_EQ(test.find("evil"), std::string::npos) << test;
  EXPECT_NE(test.find("kept.txt"), std::string::npos) << test;
}

}  // namespace
}  // namespace lha
