#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "run/log_entry.h"

namespace fs = std::filesystem;

TEST(SetStringUnderFreeKey, KeepsEveryRecordWrittenUnderOneKey) {
  const fs::path file =
      fs::temp_directory_path() / ("slotbackup-log-" + std::to_string(getpid()) + ".ini");
  fs::remove(file);
  clsIniFile ini;
  ini.FileName(file.string());
  ini.Section("Error_LOG");
  const std::string key = "2026/12/07 10:00:00";
  EXPECT_TRUE(AppModule::SetStringUnderFreeKey(ini, key, "/first"));
  EXPECT_TRUE(AppModule::SetStringUnderFreeKey(ini, key, "/second"));
  EXPECT_TRUE(AppModule::SetStringUnderFreeKey(ini, key, "/third"));
  EXPECT_EQ(ini.GetString(key, ""), "/first");
  EXPECT_EQ(ini.GetString(key + " (2)", ""), "/second");
  EXPECT_EQ(ini.GetString(key + " (3)", ""), "/third");
  fs::remove(file);
}
