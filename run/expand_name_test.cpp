#include <gtest/gtest.h>

#include "run/expand_name.h"

using AppModule::ExpandName;

namespace {
const platform::LocalTime kTime{2026, 3, 7, 9, 5, 2};
}

TEST(Stamp, IsFourteenDigitsWithLeadingZeros) {
  EXPECT_EQ(AppModule::Stamp(kTime), "20260307090502");
  EXPECT_EQ(AppModule::Stamp({2026, 12, 31, 23, 59, 59}), "20261231235959");
}

TEST(ExpandName, ReplacesOnlyTheFirstUpperCaseToken) {
  EXPECT_EQ(ExpandName("docs_%D.lzh", kTime), "docs_20260307090502.lzh");
  EXPECT_EQ(ExpandName("%D", kTime), "20260307090502");
  EXPECT_EQ(ExpandName("%D-%D.zip", kTime), "20260307090502-%D.zip");
  EXPECT_EQ(ExpandName("docs_%d.zip", kTime), "docs_%d.zip");
  EXPECT_EQ(ExpandName("docs.zip", kTime), "docs.zip");
  EXPECT_EQ(ExpandName("%%D%", kTime), "%20260307090502%");
  EXPECT_EQ(ExpandName("書類 %D.lzh", kTime), "書類 20260307090502.lzh");
}
