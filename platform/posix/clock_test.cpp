#include <gtest/gtest.h>

#include "platform/clock.h"

TEST(DateTimeText, IsTheGeneralDateFormWithTheDateAloneAtMidnight) {
  EXPECT_EQ(platform::DateTimeText({2026, 3, 7, 9, 5, 2}), "2026/03/07 09:05:02");
  EXPECT_EQ(platform::DateTimeText({2026, 12, 31, 23, 59, 59}), "2026/12/31 23:59:59");
  EXPECT_EQ(platform::DateTimeText({2026, 1, 1, 0, 0, 0}), "2026/01/01");
  EXPECT_EQ(platform::DateTimeText({2026, 1, 1, 0, 0, 1}), "2026/01/01 00:00:01");
}

TEST(Now, IsAPlausibleLocalTime) {
  const platform::LocalTime now = platform::Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  EXPECT_TRUE(now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.hour >= 0 && now.hour <= 23 && now.minute >= 0 && now.minute <= 59);
}
