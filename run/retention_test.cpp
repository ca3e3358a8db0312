// Which files are a slot's archives and which of them go: the naming rule
// against near-misses, and the newest N kept in a folder shared with other
// slots, a fixed-name copy, folders and links.
#include "run/retention.h"

#include <gtest/gtest.h>

namespace {

using namespace AppModule;
using platform::EntryKind;
using platform::FolderEntry;

TEST(StampIn, TakesOnlyFourteenDigitsFormingAValidDateAndTime) {
  const std::string t = "docs_%D.zip";
  EXPECT_EQ(StampIn("docs_20240229235959.zip", t), "20240229235959");  // a leap day
  EXPECT_EQ(StampIn("docs_20000229000000.zip", t), "20000229000000");  // 2000 is a leap year
  for (const char* name : {"docs_2024010112000.zip",                   // 13 digits
                           "docs_202401011200000.zip",                 // 15 digits
                           "docs_20241301120000.zip",                  // month 13
                           "docs_20240001120000.zip",                  // month 0
                           "docs_20240100120000.zip",                  // day 0
                           "docs_20230229120000.zip",                  // 2023 has no 29 February
                           "docs_21000229120000.zip",                  // nor has 2100
                           "docs_20240431120000.zip",                  // April has 30 days
                           "docs_20240101240000.zip",                  // hour 24
                           "docs_20240101126000.zip",                  // minute 60
                           "docs_20240101120060.zip",                  // second 60
                           "docs_00000101120000.zip",                  // year 0
                           "docs_2024010112000x.zip",                  // not all digits
                           "docs_20240101120000.zip.part", "old docs_20240101120000.zip",
                           "docs_20240101120000.ZIP", "DOCS_20240101120000.zip", "docs_.zip", ""}) {
    EXPECT_FALSE(StampIn(name, t)) << name;
  }
  EXPECT_FALSE(StampIn("docs.zip", "docs.zip"));  // no "%D": nothing is stamped
}

TEST(StampIn, ReplacesOnlyTheFirstStampMark) {
  EXPECT_EQ(StampIn("20240101120000-%D.lzh", "%D-%D.lzh"), "20240101120000");
  EXPECT_FALSE(StampIn("20240101120000-20240101120000.lzh", "%D-%D.lzh"));
  EXPECT_EQ(StampIn("20240101120000", "%D"), "20240101120000");
}

FolderEntry File(const std::string& name, uint64_t bytes = 100) {
  return FolderEntry{name, EntryKind::kRegularFile, bytes};
}

std::vector<std::string> Names(const std::vector<StampedArchive>& archives) {
  std::vector<std::string> names;
  for (const StampedArchive& archive : archives) names.push_back(archive.name);
  return names;
}

// A save folder shared by slot "docs_%D.zip" (four old archives and the one
// just written), slots whose names begin the same way, its fixed-name copy,
// near-misses, and a folder and a link named like its archives.
const std::vector<FolderEntry> kSaveFolder = {
    File("docs_20240103000000.zip"),
    File("docs_20240101000000.zip", 11),
    File("docs_20240105000000.zip"),  // just written
    File("docs_20240104000000.zip"),
    File("docs_20240102000000.zip", 22),
    File("docs_20231201000000_b.zip"),    // slot "docs_%D_b.zip"
    File("docs_x20231201000000.zip"),     // slot "docs_x%D.zip"
    File("docs_old_20231201000000.zip"),  // slot "docs_old_%D.zip"
    File("docs_latest.zip"),              // the fixed-name copy
    File("docs_2023120100000.zip"),       // 13 digits
    File("docs_20231301000000.zip"),      // month 13
    File("docs_20231201000000.zip.tmp"),
    FolderEntry{"docs_20231202000000.zip", EntryKind::kFolder, 0},
    FolderEntry{"docs_20231203000000.zip", EntryKind::kLink, 0},
    FolderEntry{"docs_20231204000000.zip", EntryKind::kOther, 0},
};

TEST(ArchivesBeyond, KeepsTheNewestNAndTouchesNothingThatIsNotTheSlotsArchive) {
  const std::string written = "docs_20240105000000.zip";
  const auto beyond = [&](uint64_t keep) {
    return Names(ArchivesBeyond("docs_%D.zip", kSaveFolder, keep, written, {"docs_latest.zip"}));
  };
  EXPECT_EQ(beyond(1),
            (std::vector<std::string>{"docs_20240101000000.zip", "docs_20240102000000.zip",
                                      "docs_20240103000000.zip", "docs_20240104000000.zip"}));
  EXPECT_EQ(beyond(2),
            (std::vector<std::string>{"docs_20240101000000.zip", "docs_20240102000000.zip",
                                      "docs_20240103000000.zip"}));
  EXPECT_EQ(beyond(4), (std::vector<std::string>{"docs_20240101000000.zip"}));
  EXPECT_TRUE(beyond(5).empty());
  EXPECT_TRUE(beyond(1000).empty());
  const auto removed = ArchivesBeyond("docs_%D.zip", kSaveFolder, 4, written, {});
  ASSERT_EQ(removed.size(), 1u);
  EXPECT_EQ(removed[0].bytes, 11u);
  EXPECT_EQ(removed[0].stamp, "20240101000000");
}

TEST(ArchivesBeyond, OtherSlotsSharingThePrefixKeepTheirOwnArchives) {
  const std::vector<FolderEntry> folder = {File("docs_20240101000000_b.zip"),
                                           File("docs_20240102000000_b.zip"),
                                           File("docs_20240101000000.zip")};
  EXPECT_EQ(Names(ArchivesBeyond("docs_%D_b.zip", folder, 1, "docs_20240103000000_b.zip", {})),
            (std::vector<std::string>{"docs_20240101000000_b.zip", "docs_20240102000000_b.zip"}));
  EXPECT_TRUE(ArchivesBeyond("docs_%D.zip", folder, 1, "docs_20240101000000.zip", {}).empty());
}

TEST(ArchivesBeyond, TheArchiveJustWrittenStaysWhateverItsStampAndCountsAmongTheKept) {
  // A clock set back: the new archive carries the oldest stamp.
  const std::vector<FolderEntry> folder = {
      File("a_20300101000000.zip"), File("a_20300102000000.zip"), File("a_20200101000000.zip")};
  EXPECT_EQ(Names(ArchivesBeyond("a_%D.zip", folder, 2, "a_20200101000000.zip", {})),
            (std::vector<std::string>{"a_20300101000000.zip"}));
  // The new archive not yet listed (the checker's preview): still one place.
  EXPECT_EQ(Names(ArchivesBeyond("a_%D.zip", folder, 2, "a_20400101000000.zip", {})),
            (std::vector<std::string>{"a_20200101000000.zip", "a_20300101000000.zip"}));
}

TEST(ArchivesBeyond, AFixedNameThatLooksStampedIsSpared) {
  const std::vector<FolderEntry> folder = {File("a_20000101000000.zip"),
                                           File("a_20240101000000.zip")};
  EXPECT_TRUE(
      ArchivesBeyond("a_%D.zip", folder, 1, "a_20240101000000.zip", {"a_20000101000000.zip"})
          .empty());
}

}  // namespace
