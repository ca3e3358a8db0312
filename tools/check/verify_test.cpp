// --verify on archives the real libraries wrote, each read back through
// libarchive: whole ones are verified, and a flipped byte, a cut-off end or
// an empty file is damaged, naming the member; a slot without an archive,
// or without its fixed-name copy, is missing. The newest archive is chosen
// by the run's naming rule.
#include "tools/check/verify.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "archiver/unlha32.h"
#include "platform/program.h"
#include "testing/support.h"
#include "tools/check/read_back.h"
#include "tools/check/report.h"

namespace fs = std::filesystem;

namespace {

using namespace check;
using test_support::ReadBytes;
using test_support::ScratchFolder;
using test_support::WriteBytes;

const platform::LocalTime kNow{2026, 12, 7, 22, 0, 5};

class VerifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(target_);
    fs::create_directories(save_);
    // Random bytes do not compress: each library stores them as they are,
    // so a byte flipped in the middle of the archive lies in their data.
    std::mt19937 random(7);
    WriteBytes(target_ / "noise.bin", test_support::Noise(random, 256 * 1024));
    WriteBytes(target_ / "notes.txt", "notes\n");
  }

  // Writes an archive of the target with the real library, as the run does.
  fs::path Archive(Unlha32::Library library, const std::string& name) {
    const std::string line = library == Unlha32::Library::kUnlha
                                 ? Unlha32::LhaCommandLine(save_.string(), name, target_.string())
                                 : Unlha32::ZipCommandLine(save_.string(), name, target_.string());
    const Unlha32::Result result = archivers_.Run(library, line);
    EXPECT_TRUE(result.succeeded) << result.message;
    return save_ / name;
  }

  Verification Check(const std::string& names, const std::string& type = "LHA") {
    WriteBytes(settings_, "[BackUP_Save]\nSavePath=" + save_.string() + "\nArchiveType=" + type +
                              "\n[BackUP_Target]\n0000=" + target_.string() + "\n" + names);
    return Verify(settings_.string(), kNow);
  }

  static void Flip(const fs::path& file, size_t at) {
    std::string bytes = ReadBytes(file);
    ASSERT_LT(at, bytes.size());
    bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
    WriteBytes(file, bytes);
  }

  ScratchFolder scratch_;
  fs::path target_ = scratch_.path() / "data";
  fs::path save_ = scratch_.path() / "save";
  fs::path settings_ = scratch_.path() / "slotbackup.ini";
  Unlha32::Archivers archivers_{platform::GetProgramPath().directory};
};

TEST_F(VerifyTest, WholeArchivesOfEveryFormatAndTheirCopiesAreVerified) {
  ASSERT_TRUE(CanReadBack());
  const fs::path lha = Archive(Unlha32::Library::kUnlha, "a_20261201000000.lzh");
  fs::copy_file(lha, save_ / "a.lzh");
  Archive(Unlha32::Library::kSevenZip, "b_20261201000000.zip");
  Archive(Unlha32::Library::kSevenZip, "c.7z");
  const Verification lhaSlot =
      Check("[BackUP_Name]\n0000=a_%D.lzh\n[BackUP_ConstantName]\n0000=a.lzh\n");
  ASSERT_EQ(lhaSlot.slots.size(), 1u);
  EXPECT_EQ(lhaSlot.slots[0].archive.path, lha.string());
  EXPECT_EQ(lhaSlot.slots[0].archive.state, ArchiveState::kVerified)
      << lhaSlot.slots[0].archive.message;
  EXPECT_GE(lhaSlot.slots[0].archive.members, 2u);
  EXPECT_EQ(lhaSlot.slots[0].archive.bytes, 256u * 1024 + 6);
  ASSERT_TRUE(lhaSlot.slots[0].copy);
  EXPECT_EQ(lhaSlot.slots[0].copy->state, ArchiveState::kVerified);
  EXPECT_EQ(ExitStatus(lhaSlot), kAllWillBeDone);
  for (const char* name : {"b_%D.zip", "c.7z"}) {
    const Verification zip = Check("[BackUP_Name]\n0000=" + std::string(name) + "\n", "ZIP");
    EXPECT_EQ(zip.slots[0].State(), ArchiveState::kVerified)
        << name << ": " << zip.slots[0].archive.message;
    EXPECT_EQ(zip.slots[0].archive.bytes, 256u * 1024 + 6) << name;
  }
}

TEST_F(VerifyTest, AFlippedByteInAMembersDataIsACrcErrorInThatMember) {
  const std::string slots[][2] = {{"a_20261201000000.lzh", "LHa data CRC error"},
                                  {"b_20261201000000.zip", "ZIP bad CRC"},
                                  {"c.7z", "7-Zip bad CRC"}};
  for (const auto& [name, said] : slots) {
    const bool lha = fs::path(name).extension() == ".lzh";
    const fs::path archive =
        Archive(lha ? Unlha32::Library::kUnlha : Unlha32::Library::kSevenZip, name);
    Flip(archive, 100000);
    const std::string pattern = std::string(name).substr(0, 2) == "c." ? "c.7z"
                                : lha                                  ? "a_%D.lzh"
                                                                       : "b_%D.zip";
    const Verification verification =
        Check("[BackUP_Name]\n0000=" + pattern + "\n", lha ? "LHA" : "ZIP");
    const ArchiveCheck& check = verification.slots[0].archive;
    EXPECT_EQ(check.state, ArchiveState::kDamaged) << name;
    EXPECT_NE(check.member.find("noise.bin"), std::string::npos) << name << ": " << check.member;
    EXPECT_NE(check.message.find(said), std::string::npos) << name << ": " << check.message;
    EXPECT_EQ(ExitStatus(verification), kSomethingFailsOrIsIgnored);
  }
}

TEST_F(VerifyTest, ACutOffOrEmptyArchiveIsDamaged) {
  const fs::path lha = Archive(Unlha32::Library::kUnlha, "a_20261201000000.lzh");
  fs::resize_file(lha, fs::file_size(lha) / 2);
  const fs::path zip = Archive(Unlha32::Library::kSevenZip, "b_20261201000000.zip");
  fs::resize_file(zip, fs::file_size(zip) - 100);
  WriteBytes(save_ / "c.7z", "");
  for (const char* name : {"a_%D.lzh", "b_%D.zip", "c.7z"}) {
    const Verification verification = Check("[BackUP_Name]\n0000=" + std::string(name) + "\n");
    const ArchiveCheck& check = verification.slots[0].archive;
    EXPECT_EQ(check.state, ArchiveState::kDamaged) << name;
    EXPECT_FALSE(check.message.empty()) << name;
  }
  const std::string text = VerificationText(Check("[BackUP_Name]\n0000=a_%D.lzh\n"));
  EXPECT_NE(text.find("damaged in member \""), std::string::npos) << text;
  EXPECT_NE(text.find("0 verified, 1 damaged, 0 missing (exit status 1)"), std::string::npos)
      << text;
}

TEST_F(VerifyTest, ASlotWithoutArchiveOrWithoutItsCopyIsMissing) {
  Archive(Unlha32::Library::kUnlha, "a_20261201000000.lzh");
  // Not the slot's: the stamp has 13 digits, and a folder is no archive.
  WriteBytes(save_ / "b_2026120100000.lzh", "");
  fs::create_directory(save_ / "b_20261201000000.lzh");
  const Verification verification =
      Check("0001=" + target_.string() +
            "\n[BackUP_Name]\n0000=a_%D.lzh\n0001=b_%D.lzh\n[BackUP_ConstantName]\n0000=a.lzh\n");
  ASSERT_EQ(verification.slots.size(), 2u);
  EXPECT_EQ(verification.slots[0].archive.state, ArchiveState::kVerified);
  EXPECT_EQ(verification.slots[0].copy->state, ArchiveState::kMissing);
  EXPECT_EQ(verification.slots[0].State(), ArchiveState::kMissing);
  EXPECT_EQ(verification.slots[1].archive.state, ArchiveState::kMissing);
  EXPECT_EQ(verification.slots[1].archive.path, "");
  EXPECT_NE(verification.slots[1].archive.message.find("b_%D.lzh"), std::string::npos);
  EXPECT_EQ(ExitStatus(verification), kSomethingFailsOrIsIgnored);
  const std::string json = VerificationJson(verification);
  EXPECT_NE(json.find("\"key\":\"0001\",\"state\":\"missing\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"exitStatus\":1"), std::string::npos) << json;
}

TEST_F(VerifyTest, TheNewestArchiveByItsStampIsTheOneReadBack) {
  const fs::path old = Archive(Unlha32::Library::kUnlha, "a_20261201000000.lzh");
  Flip(old, 100000);
  const fs::path newest = Archive(Unlha32::Library::kUnlha, "a_20261202000000.lzh");
  // Modified last, but its stamp is older.
  WriteBytes(save_ / "a_20251231235959.lzh", "not an archive");
  const Verification verification = Check("[BackUP_Name]\n0000=a_%D.lzh\n");
  EXPECT_EQ(verification.slots[0].archive.path, newest.string());
  EXPECT_EQ(verification.slots[0].State(), ArchiveState::kVerified);
}

TEST_F(VerifyTest, AnUnreadableSettingsFileIsExitStatusTwo) {
  const Verification verification = Verify((scratch_.path() / "none.ini").string(), kNow);
  EXPECT_FALSE(verification.readable);
  EXPECT_EQ(ExitStatus(verification), kCannotRead);
}

// What libarchive forgives or leaves without a reason: an LHA archive that
// lacks only the 0 byte ending it is damaged after its last member, and a 7z
// archive cut short says that it ends early.
TEST_F(VerifyTest, AnArchiveThatEndsEarlyIsDamagedAndSaysWhy) {
  const fs::path lha = Archive(Unlha32::Library::kUnlha, "a_20261201000000.lzh");
  std::string bytes = ReadBytes(lha);
  ASSERT_EQ(bytes.back(), '\0');
  bytes.pop_back();
  WriteBytes(lha, bytes);
  const Verification lhaSlot = Check("[BackUP_Name]\n0000=a_%D.lzh\n");
  const ArchiveCheck& cutLha = lhaSlot.slots[0].archive;
  EXPECT_EQ(cutLha.state, ArchiveState::kDamaged);
  EXPECT_FALSE(cutLha.after.empty());
  EXPECT_EQ(cutLha.message,
            "the archive ends early: the end marker (a 0 byte) that should follow its last "
            "member, at byte " +
                std::to_string(bytes.size()) + ", is missing");
  EXPECT_EQ(ExitStatus(lhaSlot), kSomethingFailsOrIsIgnored);

  const fs::path sevenZ = Archive(Unlha32::Library::kSevenZip, "c.7z");
  const uint64_t half = fs::file_size(sevenZ) / 2;
  fs::resize_file(sevenZ, half);
  const Verification sevenZSlot = Check("[BackUP_Name]\n0000=c.7z\n", "ZIP");
  const ArchiveCheck& cutSevenZ = sevenZSlot.slots[0].archive;
  EXPECT_EQ(cutSevenZ.state, ArchiveState::kDamaged);
  EXPECT_EQ(cutSevenZ.message.rfind("the archive ends early: its header should lie at bytes ", 0),
            0u)
      << cutSevenZ.message;
  EXPECT_NE(cutSevenZ.message.find(", but the file has only " + std::to_string(half) + " bytes"),
            std::string::npos)
      << cutSevenZ.message;
}

}  // namespace
