#include "run/cleared_folder.h"

#include <gtest/gtest.h>

using AppModule::FormatRecord;
using AppModule::ParseRecord;

namespace {

TEST(ClearedFolderRecord, AnyFolderTheSettingsCanNameReadsBackExactly) {
  for (const std::string& folder :
       {std::string("/data/仕事 2024"), std::string("C:\\My Documents"), std::string("\"quoted\""),
        std::string("a=b; c"), std::string("x")}) {
    for (const int16_t word : {int16_t{17}, int16_t{-32768}, int16_t{0}}) {
      const auto record = ParseRecord(FormatRecord({word, folder}));
      ASSERT_TRUE(record.has_value()) << folder;
      EXPECT_EQ(record->word, word);
      EXPECT_EQ(record->folder, folder);
    }
  }
}

TEST(ClearedFolderRecord, AnythingElseIsNoRecord) {
  for (const char* value : {"", "17", "17 ", "x17 /a", "17x /a", "99999 /a", " 17 /a"}) {
    EXPECT_FALSE(ParseRecord(value).has_value()) << value;
  }
}

}  // namespace
