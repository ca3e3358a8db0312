// The command line and the member header, byte by byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "archlib/entry.h"
#include "lha/command.h"
#include "lha/crc16.h"
#include "lha/header.h"
#include "lha/name_codepage.h"
#include "platform/name_text.h"

namespace lha {
namespace {

TEST(ParseCommand, ReadsTheRunnersLineQuotedOrBare) {
  Command c = ParseCommand("a  -r2 -x1 \"/save dir/x.lzh\" \"/my docs\"");
  EXPECT_TRUE(c.recurse);
  EXPECT_EQ(c.method, &kLh5);
  EXPECT_EQ(c.archive, "/save dir/x.lzh");
  EXPECT_EQ(c.targets, std::vector<std::string>{"/my docs"});
  c = ParseCommand("a -r2 -x1 -o7 /save/x.lzh /a /b");
  EXPECT_EQ(c.method, &kLh7);
  EXPECT_EQ(c.archive, "/save/x.lzh");
  EXPECT_EQ(c.targets.size(), 2u);
  // Quoted, a leading '-' belongs to a relative path, not to a switch.
  c = ParseCommand("a  -r2 -x1 \"-saves/x.lzh\" \"-docs\"");
  EXPECT_EQ(c.archive, "-saves/x.lzh");
  EXPECT_EQ(c.targets, std::vector<std::string>{"-docs"});
}

TEST(ParseCommand, RejectsWhatItDoesNotKnowWithAReason) {
  auto reason = [](const char* line) {
    try {
      ParseCommand(line);
    } catch (const archlib::Failure& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(reason("x -r2 a.lzh /t"), "unknown command: x");
  EXPECT_EQ(reason("a -r2 -z a.lzh /t"), "unknown switch: -z");
  EXPECT_EQ(reason("a -r2 -x1 a.lzh"), "no target named");
  EXPECT_EQ(reason("a -r2"), "no archive named");
  EXPECT_EQ(reason(""), "empty command line");
  EXPECT_EQ(reason("a \"a.lzh /t"), "unterminated quote in command line");
}

uint32_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8;
}

// The extended headers of an encoded header, by type.
std::map<int, std::string> ExtendedHeaders(const std::vector<uint8_t>& b) {
  std::map<int, std::string> ext;
  size_t at = 24;
  for (uint32_t size = Get16(b, at); size != 0; size = Get16(b, at)) {
    at += 2;
    ext[b[at]] = std::string(b.begin() + at + 1, b.begin() + at + size - 2);
    at += size - 2;
  }
  return ext;
}

TEST(EncodeHeader, WritesALevel2HeaderWithNamesCodePageAndUnixFields) {
  MemberHeader h;
  std::memcpy(h.method, "-lh5-", 6);
  h.path = "top/sub/file.txt";
  h.packedSize = 10;
  h.originalSize = 20;
  h.mtime = 0x12345678;
  h.crc = 0xBEEF;
  h.mode = 0100644;
  h.uid = 1000;
  h.gid = 100;
  h.codePage = 65001;
  std::vector<uint8_t> b = EncodeHeader(h);
  EXPECT_EQ(Get16(b, 0), b.size());
  EXPECT_EQ(std::string(b.begin() + 2, b.begin() + 7), "-lh5-");
  EXPECT_EQ(std::string(b.begin() + 15, b.begin() + 19), "\x78\x56\x34\x12");  // Unix time
  EXPECT_EQ(b[20], 2);                                                         // level
  EXPECT_EQ(b[23], 'U');                                                       // OS
  EXPECT_EQ(Get16(b, 21), 0xBEEF);
  std::map<int, std::string> ext = ExtendedHeaders(b);
  EXPECT_EQ(ext[0x01], "file.txt");
  EXPECT_EQ(ext[0x02], "top\xFFsub\xFF");
  EXPECT_EQ(ext[0x46], std::string("\xE9\xFD\x00\x00", 4));
  EXPECT_EQ(ext[0x50], std::string("\xA4\x81", 2));
  EXPECT_EQ(ext[0x51], std::string("\x64\x00\xE8\x03", 4));  // gid, then uid
  // The time is in the base header only: no 0x54 repeats it.
  EXPECT_EQ(ext.size(), 6u);
  // The header CRC covers the header with its own field zeroed.
  const uint16_t stored = static_cast<uint16_t>(Get16(b, 27));
  b[27] = b[28] = 0;
  EXPECT_EQ(Crc16(0, b.data(), b.size()), stored);
}

TEST(EncodeHeader, StoresOwnerIdsOnlyWhereTheyRestoreSomething) {
  MemberHeader h;
  h.path = "f";
  auto hasIds = [&](std::optional<uint32_t> uid, std::optional<uint32_t> gid) {
    h.uid = uid;
    h.gid = gid;
    return ExtendedHeaders(EncodeHeader(h)).count(0x51) != 0;
  };
  EXPECT_TRUE(hasIds(1000, 1000));
  EXPECT_TRUE(hasIds(0, 5));  // root's file in another group
  EXPECT_TRUE(hasIds(5, 0));
  EXPECT_FALSE(hasIds(0, 0));         // restored as root's without them
  EXPECT_FALSE(hasIds(70000, 1000));  // would not fit: never stored wrong
  EXPECT_FALSE(hasIds(std::nullopt, std::nullopt));
}

TEST(EncodeHeader, NeverLetsTheSizeLookLikeTheEndMarker) {
  MemberHeader h;
  h.codePage = 932;
  for (size_t n = 1; n < 400; ++n) {
    h.path = std::string(n, 'x');
    std::vector<uint8_t> b = EncodeHeader(h);
    EXPECT_NE(b[0], 0) << n;
  }
  h.originalSize = kMaxMemberSize + 1;
  EXPECT_THROW(EncodeHeader(h), archlib::Failure);
}

TEST(EncodeHeader, RefusesAFolderNameHoldingTheSeparatorByte) {
  // Readers would make two folders of it and restore the file elsewhere.
  MemberHeader h;
  h.path =
      "a\xFF"
      "b/file";
  EXPECT_THROW(EncodeHeader(h), archlib::Failure);
  h.path = "a/file\xFF";  // in the file's own name it is kept as it is
  EXPECT_EQ(ExtendedHeaders(EncodeHeader(h))[0x01], "file\xFF");
}

TEST(CodePageOfName, KeepsTheSystemsWhereTheNameIsTextInItAndOtherwiseSays437) {
  EXPECT_EQ(CodePageOfName("plain.txt", 65001), 65001u);
  EXPECT_EQ(CodePageOfName("\xE6\x97\xA5\xE6\x9C\xAC.txt", 65001), 65001u);  // 日本
  EXPECT_EQ(CodePageOfName("caf\xE9.txt", 65001), 437u);                     // Latin-1 bytes
  EXPECT_EQ(CodePageOfName("\x93\xFA\x96\x7B", 65001), 437u);                // Shift_JIS bytes
  EXPECT_EQ(CodePageOfName("\xED\xA0\x80", 65001), 437u);                    // a UTF-8 surrogate
  EXPECT_EQ(CodePageOfName("\xC3", 65001), 437u);                            // cut short
  EXPECT_EQ(CodePageOfName("\x93\xFA\x96\x7B", 932), 932u);
  EXPECT_EQ(CodePageOfName("\x85\x40", 932), 437u);  // a lead byte with no character
  EXPECT_EQ(CodePageOfName("plain", std::nullopt), std::nullopt);
  EXPECT_EQ(CodePageOfName("caf\xE9", std::nullopt), 437u);
}

// The program converts its text to the environment's codeset with the same
// rule: names are declared UTF-8 exactly where the program writes UTF-8.
TEST(SystemCodePage, ThePlainCLocaleAndAMissingLocaleDeclareUtf8) {
  const char* saved = std::getenv("LC_ALL");
  const std::string kept = saved ? saved : "";
  for (const char* locale : {"C", "POSIX", "xx_NOWHERE.NOCODESET"}) {
    setenv("LC_ALL", locale, 1);
    EXPECT_EQ(platform::SystemCodePage(), std::optional<uint32_t>(65001u)) << locale;
  }
  if (saved) {
    setenv("LC_ALL", kept.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

}  // namespace
}  // namespace lha
