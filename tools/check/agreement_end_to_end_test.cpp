// The installed slotbackup-check, then the installed run, on the same
// settings: the checker's prediction for each slot must be what the run
// then does, with the fake archiver library and with the real ones, and
// every way the run fails or does harm must make the checker end with 1 and
// name the cause. Runs as an ordinary user where reading matters.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <set>

#include "run/installation_fixture.h"
#include "tools/check/agreement.h"
#include "tools/check/json_reader.h"

namespace {

using namespace slotbackup_test;
using check_test::Json;

check::Outcome OutcomeNamed(const std::string& name) {
  if (name == "archive") return check::Outcome::kArchive;
  if (name == "no-archiver") return check::Outcome::kNoArchiver;
  if (name == "fails") return check::Outcome::kFails;
  if (name == "ends-run") return check::Outcome::kEndsRun;
  return check::Outcome::kNotReached;
}

class CheckThenRun : public Installation {
 protected:
  // Runs the installed checker as the run will be run; returns its report.
  Json Check() {
    InstallChecker();
    const pid_t checker = StartProgram("slotbackup-check", {"--json"});
    const Ending ending = Wait(checker);
    checked_ = Printed(checker);
    checkStatus_ = ending.exited ? ending.status : -1;
    return check_test::ParseJson(checked_);
  }

  // The parts of the checker's report the comparison needs.
  static check::Report Plan(const Json& json) {
    check::Report plan;
    plan.savePath = json["savePath"].text;
    plan.archiveType = json["archiveType"].text;
    for (const Json& slot : json["slots"].items) {
      check::PlannedSlot planned;
      planned.key = slot["key"].text;
      planned.target = slot["target"].text;
      planned.name = slot["name"].text;
      planned.nameTemplate = slot["nameTemplate"].text;
      planned.constantName =
          slot["constantName"].kind == Json::Kind::kNull ? "" : slot["constantName"].text;
      planned.outcome = OutcomeNamed(slot["outcome"].text);
      plan.slots.push_back(planned);
    }
    return plan;
  }

  // The stamp the checker expanded names with.
  static std::string StampOf(const check::Report& plan) {
    for (const check::PlannedSlot& slot : plan.slots) {
      const size_t at = slot.nameTemplate.find("%D");
      if (at != std::string::npos) return slot.name.substr(at, 14);
    }
    return "";
  }

  static bool Finds(const Json& json, const std::string& code) {
    for (const Json& finding : json["findings"].items) {
      if (finding["code"].text == code) return true;
    }
    return false;
  }

  // Checks, runs, and compares slot by slot; the checker must have found
  // code (with exit status 1) when one is given.
  void ExpectAgreement(const std::string& code = "") {
    const Json json = Check();
    ASSERT_EQ(json["readable"].kind, Json::Kind::kBool) << checked_;
    if (!code.empty()) {
      EXPECT_TRUE(Finds(json, code)) << "no finding " << code << ": " << checked_;
      EXPECT_EQ(checkStatus_, 1) << checked_;
    }
    const check::Report plan = Plan(json);
    ASSERT_FALSE(plan.slots.empty()) << checked_;
    const int status = Run();
    check_test::RunEffects effects;
    for (const std::string& line : ErrorLog()) {
      effects.failedTargets.push_back(line.substr(line.find('=') + 1));
    }
    effects.endedByError = status == 1 && !LogFile().empty();
    const auto observed = check_test::ObservedOutcomes(plan, StampOf(plan), effects);
    EXPECT_EQ(check_test::Describe(plan, check_test::PredictedOutcomes(plan)),
              check_test::Describe(plan, observed))
        << "run exit status " << status << "\n"
        << output_ << ReadBytes(program_ / "slotbackup.log");
  }

  // What bsdtar lists of an archive in the save folder whose name matches.
  std::string Listing(const std::string& pattern) {
    for (const auto& entry : fs::directory_iterator(save_)) {
      if (!std::regex_match(entry.path().filename().string(), std::regex(pattern))) continue;
      std::string text;
      EXPECT_EQ(Shell("bsdtar -tf " + Quoted(entry.path()), &text), 0) << text;
      return text;
    }
    ADD_FAILURE() << "no archive " << pattern << " in " << save_;
    return "";
  }

  std::string checked_;
  int checkStatus_ = -1;
};

TEST_F(CheckThenRun, AMissingLibraryIsPredictedToEndTheRunAndDoes) {
  // Neither library is installed beside the program.
  const fs::path a = Target("a"), b = Target("b");
  Settings(SaveSection("ZIP") + Slots({a, b}));
  ExpectAgreement("archiver-not-loadable");
  EXPECT_NE(checked_.find("lib7-zip32.so"), std::string::npos) << checked_;
}

TEST_F(CheckThenRun, WithTheFakeLibraryAMissingTargetEndsTheRunWhereForeseen) {
  InstallFakeArchivers();
  const fs::path a = Target("a"), c = Target("c");
  Settings(SaveSection("NONE") + Slots({a, data_ / "gone", c}) +
           "[BackUP_ConstantName]\n0000=a.zip\n0001=b.zip\n0002=c.zip\n");
  WriteBytes(save_ / "0_x.zip", "");
  ExpectAgreement("target-missing");
}

// What the run's user cannot read is left out, the rest archived, and the
// slot recorded as failed, as foreseen; the list beside each archive names
// what it lacks, and the checker shows it afterwards.
TEST_F(CheckThenRun, WhatTheRunsUserCannotReadIsLeftOutAndItsSlotFailsAsForeseen) {
  InstallRealArchivers();
  const fs::path locked = Target("locked"), open = Target("open");
  WriteBytes(locked / "private.txt", "only for root");
  WriteBytes(locked / "public.txt", "for anyone");
  WriteBytes(open / "closed" / "inner.txt", "inside a folder nobody may list");
  WriteBytes(open / "shown.txt", "shown");
  Settings(SaveSection("ZIP") + Slots({locked, open}));
  RunUnprivileged();  // the whole installation becomes the ordinary user's
  chmod((locked / "private.txt").c_str(), 0);
  chmod((open / "closed").c_str(), 0);
  ExpectAgreement("unreadable-entries");
  chmod((open / "closed").c_str(), 0755);
  EXPECT_NE(checked_.find("private.txt"), std::string::npos) << checked_;
  const std::string lockedFiles = Listing("0_.*\\.zip"), openFiles = Listing("1_.*\\.zip");
  EXPECT_NE(lockedFiles.find("locked/public.txt"), std::string::npos) << lockedFiles;
  EXPECT_EQ(lockedFiles.find("private.txt"), std::string::npos) << lockedFiles;
  EXPECT_NE(openFiles.find("open/shown.txt"), std::string::npos) << openFiles;
  EXPECT_EQ(openFiles.find("inner.txt"), std::string::npos) << openFiles;
  // Checked again after the run: the failure with the run's reason, and
  // what each newest archive lacks.
  const Json again = Check();
  const Json& first = again["slots"][0];
  ASSERT_EQ(first["lastFailure"].kind, Json::Kind::kObject) << checked_;
  EXPECT_NE(first["lastFailure"]["reason"].text.find("private.txt"), std::string::npos) << checked_;
  ASSERT_EQ(first["missing"].kind, Json::Kind::kObject) << checked_;
  EXPECT_EQ(first["missing"]["count"].number, 1) << checked_;
  EXPECT_EQ(first["missing"]["entries"][0].text,
            "cannot read " + (locked / "private.txt").string() + ": Permission denied");
  const Json& second = again["slots"][1];
  ASSERT_EQ(second["missing"].kind, Json::Kind::kObject) << checked_;
  EXPECT_EQ(second["missing"]["entries"][0].text,
            "cannot open folder " + (open / "closed").string() + ": Permission denied");
}

TEST_F(CheckThenRun, ASaveFolderTheRunsUserCannotWriteIsForeseenToFailEverySlot) {
  InstallRealArchivers();
  const fs::path a = Target("a"), b = Target("b");
  Settings(SaveSection("ZIP") + Slots({a, b}));
  RunUnprivileged();
  chmod(save_.c_str(), 0555);
  ExpectAgreement("folder-not-writable");
  chmod(save_.c_str(), 0755);
  EXPECT_TRUE(fs::is_empty(save_));
}

TEST_F(CheckThenRun, ASaveFolderInsideTheTargetIsForeseenAndItsArchivesGrow) {
  InstallRealArchivers();
  const fs::path target = data_;
  Target("docs");
  save_ = data_ / "backups";
  fs::create_directories(save_);
  Settings(SaveSection("LHA") + "[BackUP_Target]\n0000=" + target.string() +
           "\n[BackUP_Name]\n0000=data_%D.lzh\n");
  ExpectAgreement("archives-inside-target");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_EQ(Run(), 0) << ReadBytes(program_ / "slotbackup.log");
  // The second archive holds the first.
  std::vector<fs::path> archives;
  for (const auto& entry : fs::directory_iterator(save_)) archives.push_back(entry.path());
  std::sort(archives.begin(), archives.end());
  ASSERT_EQ(archives.size(), 2u);
  std::string listing;
  ASSERT_EQ(Shell("bsdtar -tf " + Quoted(archives[1]), &listing), 0) << listing;
  EXPECT_NE(listing.find(archives[0].filename().string()), std::string::npos) << listing;
}

TEST_F(CheckThenRun, TwoSlotsSharingANameAreForeseenAndOneArchiveHoldsBoth) {
  InstallRealArchivers();
  const fs::path a = Target("a"), b = Target("b");
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + a.string() + "\n0001=" + b.string() +
           "\n[BackUP_Name]\n0000=same.zip\n0001=same.zip\n");
  ExpectAgreement("shared-name");
  const std::string listing = Listing("same\\.zip");
  EXPECT_NE(listing.find("a/"), std::string::npos) << listing;
  EXPECT_NE(listing.find("b/"), std::string::npos) << listing;
}

TEST_F(CheckThenRun, TheOldArchivesTheCheckerForeseesGoingAreExactlyThoseTheRunRemoves) {
  InstallRealArchivers();
  const fs::path a = Target("a"), b = Target("b");
  const std::vector<std::string> old = {"a_20250101000000.zip", "a_20250102000000.zip",
                                        "a_20250103000000.zip", "a_2025010400000.zip",
                                        "b_20250101000000.zip", "b_20250102000000.zip"};
  for (const std::string& name : old) WriteBytes(save_ / name, "an earlier archive");
  fs::create_symlink(save_ / "a_20250103000000.zip", save_ / "a_20240101000000.zip");
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + a.string() + "\n0001=" + b.string() +
           "\n[BackUP_Name]\n0000=a_%D.zip\n0001=b_%D.zip\n[BackUP_ConstantName]\n0000=a.zip\n"
           "[BackUP_Keep]\n0000=2\n0001=x\n");
  const Json json = Check();
  std::set<std::string> foreseen;
  for (const Json& slot : json["slots"].items) {
    for (const Json& name : slot["removes"].items) foreseen.insert(name.text);
  }
  EXPECT_EQ(foreseen, (std::set<std::string>{"a_20250101000000.zip", "a_20250102000000.zip"}))
      << checked_;
  EXPECT_TRUE(Finds(json, "keep-invalid")) << checked_;
  ASSERT_EQ(Run(), 0) << output_ << ReadBytes(program_ / "slotbackup.log");
  std::set<std::string> gone;
  for (const std::string& name : old) {
    if (!fs::exists(save_ / name)) gone.insert(name);
  }
  EXPECT_EQ(gone, foreseen);
  EXPECT_TRUE(fs::is_symlink(save_ / "a_20240101000000.zip"));
}

TEST_F(CheckThenRun, ANameLeavingTheSaveFolderIsForeseenAndWritesOutsideIt) {
  InstallRealArchivers();
  const fs::path a = Target("a");
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + a.string() +
           "\n[BackUP_Name]\n0000=../outside_%D.zip\n");
  ExpectAgreement("leaves-save-folder");
  bool outside = false;
  for (const auto& entry : fs::directory_iterator(root_)) {
    outside |= entry.path().filename().string().rfind("outside_", 0) == 0;
  }
  EXPECT_TRUE(outside);
}

TEST_F(CheckThenRun, ASettingsFileInShiftJisOnAUtf8SystemIsForeseenToMissItsFolder) {
  InstallFakeArchivers();
  const fs::path folder = Target("日本");  // named in UTF-8, the system's code page
  const fs::path other = Target("other");
  Settings(SaveSection("ZIP") + "[BackUP_Target]\n0000=" + data_.string() +
           "/\x93\xfa\x96\x7b\n0001=" + other.string() +
           "\n[BackUP_Name]\n0000=nihon.zip\n0001=other.zip\n");
  ExpectAgreement("not-in-code-page");
  EXPECT_NE(checked_.find("\"line\":5"), std::string::npos) << checked_;
  EXPECT_NE(ReadBytes(program_ / "slotbackup.log").find("Path not found"), std::string::npos);
}

}  // namespace
