#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ini_.FileName((dir_ / "slotbackup.ini").string());
    ini_.Section("BackUP_Target");
  }

  void WriteFile(const std::string& bytes) { test_support::WriteBytes(ini_.FileName(), bytes); }
  std::string ReadFile() { return test_support::ReadBytes(ini_.FileName()); }

  test_support::ScratchFolder dir_;
  clsIniFile ini_;
};

TEST_F(IniFileTest, AnEmptyOrMissingValueGivesTheDefault) {
  WriteFile("[BackUP_Target]\r\n0000=\r\n0001=C:\\data\r\n");
  EXPECT_EQ(ini_.GetString("0000", "none"), "none");
  EXPECT_EQ(ini_.GetString("0002", "none"), "none");
  EXPECT_EQ(ini_.GetString("0001", "none"), "C:\\data");
  ini_.Section("BackUP_Name");
  EXPECT_EQ(ini_.GetString("0001", "none"), "none");
  ini_.FileName((dir_ / "missing.ini").string());
  EXPECT_EQ(ini_.GetString("0001", ""), "");
}

TEST_F(IniFileTest, AValueLongerThanTheAreaIsCutAtItsLastByte) {
  WriteFile("[BackUP_Target]\r\nlong=" + std::string(40000, 'x') + "\r\n");
  EXPECT_EQ(ini_.GetString("long", ""), std::string(32766, 'x'));
}

TEST_F(IniFileTest, JapaneseTextRoundTripsExactly) {
  const std::string value = "D:\\バックアップ\\表ソ能\\予定表";
  ini_.Section("設定");
  EXPECT_TRUE(ini_.SetString("フォルダ", value));
  EXPECT_EQ(ini_.GetString("フォルダ", ""), value);
  std::vector<std::string> names;
  EXPECT_EQ(ini_.EmnumSection(names), 1);
  EXPECT_EQ(names, std::vector<std::string>{"設定"});
}

TEST_F(IniFileTest, SetStringCreatesAMissingFileWithTheSectionAndKey) {
  EXPECT_TRUE(ini_.SetString("0000", "C:\\data"));
  EXPECT_EQ(ReadFile(), "[BackUP_Target]\r\n0000=C:\\data\r\n");
  EXPECT_TRUE(ini_.SetString("0000", "D:\\data"));
  EXPECT_EQ(ReadFile(), "[BackUP_Target]\r\n0000=D:\\data\r\n");
}

TEST_F(IniFileTest, SetStringReportsAFailedWrite) {
  ini_.FileName((dir_ / "no such folder" / "slotbackup.ini").string());
  EXPECT_FALSE(ini_.SetString("0000", "C:\\data"));
}

TEST_F(IniFileTest, SetStringUnderFreeKeyKeepsEveryRecordOfOneKey) {
  const std::string key = "2026/12/07 10:00:00";
  ini_.Section("Error_LOG");
  EXPECT_EQ(ini_.SetStringUnderFreeKey(key, "/first"), key);
  EXPECT_EQ(ini_.SetStringUnderFreeKey(key, "/second"), key + " (2)");
  // A key with an empty value holds no record, so it is taken.
  ASSERT_TRUE(ini_.SetString(key + " (3)", ""));
  EXPECT_EQ(ini_.SetStringUnderFreeKey(key, "/third"), key + " (3)");
  EXPECT_EQ(ini_.GetString(key, ""), "/first");
  EXPECT_EQ(ini_.GetString(key + " (2)", ""), "/second");
  EXPECT_EQ(ini_.GetString(key + " (3)", ""), "/third");
}

TEST_F(IniFileTest, WritersAtTheSameMomentNeverChooseTheSameKey) {
  // Each writer has a file object (and so an open file) of its own, as two
  // runs have: choosing outside the file's lock would let two take one key.
  constexpr int kWriters = 4, kEach = 40;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      clsIniFile ini;
      ini.FileName(ini_.FileName());
      ini.Section("Error_LOG");
      for (int i = 0; i < kEach; ++i) {
        ini.SetStringUnderFreeKey("2026/12/07 22:00:00",
                                  std::to_string(w) + "/" + std::to_string(i));
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  ini_.Section("Error_LOG");
  std::vector<std::string> lines;
  ini_.EnumSectionString(lines);
  std::set<std::string> keys, values;
  for (const std::string& line : lines) {
    keys.insert(line.substr(0, line.find('=')));
    values.insert(line.substr(line.find('=') + 1));
  }
  EXPECT_EQ(lines.size(), static_cast<size_t>(kWriters * kEach));
  EXPECT_EQ(keys.size(), lines.size());
  EXPECT_EQ(values.size(), lines.size());
  EXPECT_TRUE(keys.count("2026/12/07 22:00:00 (" + std::to_string(kWriters * kEach) + ")"));
}

TEST_F(IniFileTest, SetStringUnderFreeKeyThrowsNamingTheFileAndTheReason) {
  const std::string file = (dir_ / "no such folder" / "slotbackup.ini").string();
  ini_.FileName(file);
  try {
    ini_.SetStringUnderFreeKey("0000", "C:\\data");
    FAIL() << "wrote into a missing folder";
  } catch (const platform::Error& e) {
    const std::string what = e.what();
    EXPECT_EQ(what.rfind("Cannot write " + file + ": ", 0), 0u) << what;
    EXPECT_GT(what.size(), ("Cannot write " + file + ": ").size() + 5) << what;
  }
}

TEST_F(IniFileTest, NothingIsCachedBetweenObjects) {
  clsIniFile other;
  other.FileName(ini_.FileName());
  other.Section("BackUP_Target");
  EXPECT_EQ(ini_.GetString("0000", "none"), "none");
  other.SetString("0000", "written by another");
  EXPECT_EQ(ini_.GetString("0000", "none"), "written by another");
}

TEST_F(IniFileTest, GetIntegerWidensTheDefaultWithItsSign) {
  WriteFile("[BackUP_Target]\r\ncount=-12\r\nbig=70000\r\n");
  EXPECT_EQ(ini_.GetInteger("count", 1), -12);
  EXPECT_EQ(ini_.GetInteger("big", 1), 70000);
  EXPECT_EQ(ini_.GetInteger("missing", -7), -7);
}

TEST_F(IniFileTest, DeleteKeyNameRemovesOneKey) {
  WriteFile("[BackUP_Target]\r\n0000=a\r\n0001=b\r\n");
  ini_.DeleteKeyName("0000");
  EXPECT_EQ(ReadFile(), "[BackUP_Target]\r\n0001=b\r\n");
}

TEST_F(IniFileTest, DeleteSectionOfTheEmptyNameRemovesTheCurrentOneAndNamesIt) {
  WriteFile("[BackUP_Target]\r\n0000=a\r\n[BackUP_Name]\r\n0000=n\r\n");
  std::string section;
  ini_.DeleteSection(section);
  EXPECT_EQ(section, "BackUP_Target");
  EXPECT_EQ(ReadFile(), "[BackUP_Name]\r\n0000=n\r\n");
  std::string other = "BackUP_Name";
  ini_.DeleteSection(other);
  EXPECT_EQ(other, "BackUP_Name");
  EXPECT_EQ(ReadFile(), "");
}

TEST_F(IniFileTest, EmnumSectionListsEveryHeaderInOrder) {
  WriteFile("k=before any header\r\n[A]\r\nx=1\r\n[]\r\n[B]\r\n[a]\r\n");
  std::vector<std::string> names;
  EXPECT_EQ(ini_.EmnumSection(names), 3);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "a"}));
}

TEST_F(IniFileTest, EnumSectionStringListsTheLinesAsWritten) {
  WriteFile("[BackUP_Target]\r\na=1\r\nb=2\r\n");
  std::vector<std::string> lines;
  EXPECT_EQ(ini_.EnumSectionString(lines), 2);
  EXPECT_EQ(lines, (std::vector<std::string>{"a=1", "b=2"}));
}

TEST_F(IniFileTest, AnEmptyOrMissingSectionLeavesTheArrayAlone) {
  WriteFile("[BackUP_Target]\r\n[Other]\r\nx=1\r\n");
  const std::vector<std::string> before{"kept", "as", "is"};
  std::vector<std::string> lines = before;
  EXPECT_EQ(ini_.EnumSectionString(lines), 0);
  EXPECT_EQ(lines, before);
  ini_.Section("Missing");
  EXPECT_EQ(ini_.EnumSectionString(lines), 0);
  EXPECT_EQ(lines, before);
  ini_.FileName((dir_ / "missing.ini").string());
  EXPECT_EQ(ini_.EmnumSection(lines), 0);
  EXPECT_EQ(lines, before);
}

TEST_F(IniFileTest, AListShrinksALargerArrayToExactlyItsItems) {
  WriteFile("[BackUP_Target]\r\na=1\r\nb=2\r\n");
  std::vector<std::string> lines{"1", "2", "3", "4", "5"};
  EXPECT_EQ(ini_.EnumSectionString(lines), 2);
  EXPECT_EQ(lines, (std::vector<std::string>{"a=1", "b=2"}));
}

}  // namespace
