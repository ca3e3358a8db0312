#include "platform/temp_name.h"

#include <gtest/gtest.h>

namespace {

using platform::TemporaryName;
using platform::TemporaryNameOwner;

TEST(TemporaryNameTest, NamesAreRecognisedWithTheirOwner) {
  EXPECT_EQ(TemporaryName(4242, 0x0123456789abcdefULL), ".slotbackup-4242-0123456789abcdef.tmp");
  EXPECT_EQ(TemporaryName(7, 0xF), ".slotbackup-7-000000000000000f.tmp");
  for (uint32_t id : {1u, 99u, 4294967295u}) {
    EXPECT_EQ(TemporaryNameOwner(TemporaryName(id, 0xfeedULL)), id);
  }
}

TEST(TemporaryNameTest, OnlyTheExactFormIsOurs) {
  // What a user, another program or a mistyped copy might leave with a
  // similar name must never be taken for one of ours.
  for (const char* name : {
           "slotbackup-42-0123456789abcdef.tmp",           // not hidden
           ".slotbackup-42-0123456789abcdef.tmp~",         // editor backup
           ".slotbackup-42-0123456789abcdef.TMP",          // other case
           ".slotbackup-42-0123456789ABCDEF.tmp",          // upper-case digits
           ".slotbackup-42-0123456789abcde.tmp",           // 15 digits
           ".slotbackup-42-0123456789abcdef0.tmp",         // 17 digits
           ".slotbackup--0123456789abcdef.tmp",            // no id
           ".slotbackup-042-0123456789abcdef.tmp",         // leading zero
           ".slotbackup-4294967296-0123456789abcdef.tmp",  // beyond 32 bits
           ".slotbackup-12345678901-0123456789abcdef.tmp",
           ".slotbackup-4x2-0123456789abcdef.tmp",
           ".slotbackup-check-0123456789abcdef.tmp",
           ".slotbackup-42-0123456789abcdef.tmp/x",
           ".slotbackup.ini.a1B2c3",
           ".slotbackup-42-0123456789abcdef",
           "",
       }) {
    EXPECT_FALSE(TemporaryNameOwner(name).has_value()) << name;
  }
}

}  // namespace
