// The JSON the checker prints, parsed back by a strict reader of the
// tests' own: escaping, structure, and a whole report surviving the trip.
#include <gtest/gtest.h>

#include "platform/utf8.h"
#include "tools/check/json_reader.h"
#include "tools/check/json_writer.h"
#include "tools/check/render.h"

namespace {

using check_test::Json;

Json Parse(const std::string& text) {
  return check_test::ParseJson(text);
}

TEST(JsonWriterTest, EscapesWhatJsonForbidsAndPassesUtf8Through) {
  check::JsonWriter json;
  json.BeginArray();
  json.String("quote \" backslash \\ tab \t line \n bell \x07 del \x7f");
  json.String("報告書 ✓ 😀");
  json.String("bad \xff\xfe end \xe3\x81");  // stray bytes, then a cut sequence
  std::string escaped = "caf";
  platform::AppendEscapedByte(escaped, 0xE9);  // a byte the code page could not decode
  json.String(escaped);
  json.EndArray();
  EXPECT_NE(json.Text().find("\\u0007"), std::string::npos);
  EXPECT_NE(json.Text().find("\\u007f"), std::string::npos);

  const Json parsed = Parse(json.Text());
  EXPECT_EQ(parsed[0].text, "quote \" backslash \\ tab \t line \n bell \x07 del \x7f");
  EXPECT_EQ(parsed[1].text, "報告書 ✓ 😀");
  EXPECT_EQ(parsed[2].text, "bad \xEF\xBF\xBD\xEF\xBF\xBD end \xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(parsed[3].text, "caf\\xE9");
}

TEST(JsonWriterTest, PlacesCommasInNestedObjectsAndArrays) {
  check::JsonWriter json;
  json.BeginObject();
  json.Key("a");
  json.BeginArray();
  json.Integer(-1);
  json.BeginObject();
  json.EndObject();
  json.BeginArray();
  json.EndArray();
  json.Null();
  json.EndArray();
  json.Key("b");
  json.Bool(false);
  json.Key("c");
  json.Bool(true);
  json.EndObject();
  EXPECT_EQ(json.Text(), R"({"a":[-1,{},[],null],"b":false,"c":true})");
}

check::Report SampleReport() {
  check::Report report;
  report.settingsPath = "/opt/slotbackup/slotbackup.ini";
  report.readable = true;
  report.savePath = "/home/田中/backups";
  report.archiveType = "ZIP";
  report.slots.push_back({"0000",
                          "/home/田中/仕事",
                          "仕事_%D.zip",
                          "仕事_20261207220005.zip",
                          "ZIP",
                          "latest.zip",
                          check::Outcome::kArchive,
                          std::nullopt,
                          std::nullopt,
                          2,
                          {"仕事_20261201220005.zip", "仕事_20261202220005.zip"},
                          check::MissingList{"/home/田中/backups/仕事_20261206220005.zip.missing.txt",
                                             4,
                                             {"cannot read /home/田中/仕事/a: Permission denied"}}});
  report.slots.push_back({"0001",
                          "/t\"q",
                          "n\x01%D",
                          "n\x01"
                          "20261207220005",
                          "7z",
                          "",
                          check::Outcome::kFails,
                          std::nullopt,
                          std::nullopt,
                          0,
                          {},
                          std::nullopt});
  report.findings.push_back({check::Severity::kProblem, "quote-in-path", "BackUP_Target", "0001", 0,
                             "Slot 0001: the target folder contains a double quote.",
                             "Rename it."});
  report.findings.push_back({check::Severity::kNote, "no-slots", "", "", 0, "note", ""});
  report.errorLogCount = 3;
  report.newestErrorLog.push_back({"2026/12/07 22:00:05 (2)", "/home/田中/仕事",
                                   "cannot read /home/田中/仕事/a: Permission denied"});
  report.newestErrorLog.push_back({"2026/12/06 22:00:05", "/t", ""});
  report.slots[0].lastFailure = report.newestErrorLog[0];
  check::TargetSurvey walk;
  walk.files = 3;
  walk.bytes = 5000000000;
  walk.unreadableCount = 7;
  walk.unreadable = {"cannot read /home/田中/仕事/a: Permission denied"};
  walk.passedOverCount = 1;
  walk.passedOver = {"/home/田中/仕事/pipe (a FIFO)"};
  report.slots[0].walk = walk;
  report.findings[0].line = 12;
  report.recoveryCount = 2;
  report.newestRecovery.push_back({"2026/12/07 22:00:01", "Restored:/t\tAttributes:17", ""});
  report.retentionCount = 1;
  report.newestRetention.push_back(
      {"2026/12/07 22:00:06", "Removed:/b/n_20261206220005.zip\tSlot:0000\tBytes:12", ""});
  report.logPath = "/opt/slotbackup/slotbackup.log";
  report.logCount = 1;
  report.newestLogEntry =
      check::Entry{"2026/12/07 22:00:09", "ModuleName:Main\tObjectName:AppModule\tErrorInfo:x", ""};
  return report;
}

TEST(JsonReportTest, AWholeReportParsesBackToWhatItSaid) {
  const Json json = Parse(check::JsonReport(SampleReport()));
  EXPECT_EQ(json["settingsFile"].text, "/opt/slotbackup/slotbackup.ini");
  EXPECT_TRUE(json["readable"].boolean);
  EXPECT_EQ(json["savePath"].text, "/home/田中/backups");
  EXPECT_TRUE(json["archiverRuns"].boolean);
  EXPECT_EQ(json["exitStatus"].number, 1);

  const Json& first = json["slots"][0];
  EXPECT_EQ(first["key"].text, "0000");
  EXPECT_EQ(first["name"].text, "仕事_20261207220005.zip");
  EXPECT_EQ(first["constantName"].text, "latest.zip");
  EXPECT_EQ(first["outcome"].text, "archive");
  const Json& second = json["slots"][1];
  EXPECT_EQ(second["target"].text, "/t\"q");
  EXPECT_EQ(second["nameTemplate"].text, "n\x01%D");
  EXPECT_EQ(second["constantName"].kind, Json::Kind::kNull);
  EXPECT_EQ(second["outcome"].text, "fails");
  EXPECT_EQ(second["walk"].kind, Json::Kind::kNull);
  EXPECT_EQ(second["lastFailure"].kind, Json::Kind::kNull);
  const Json& walk = first["walk"];
  EXPECT_FALSE(walk["complete"].boolean);
  EXPECT_EQ(walk["bytes"].number, 5000000000.0);
  EXPECT_EQ(walk["unreadableCount"].number, 7);
  EXPECT_EQ(walk["unreadable"][0].text, "cannot read /home/田中/仕事/a: Permission denied");
  EXPECT_EQ(walk["passedOver"][0].text, "/home/田中/仕事/pipe (a FIFO)");
  EXPECT_EQ(first["keep"].number, 2);
  EXPECT_EQ(first["removes"][1].text, "仕事_20261202220005.zip");
  EXPECT_EQ(second["keep"].kind, Json::Kind::kNull);
  EXPECT_EQ(second["removes"].items.size(), 0u);
  EXPECT_EQ(first["lastFailure"]["reason"].text,
            "cannot read /home/田中/仕事/a: Permission denied");
  EXPECT_EQ(first["missing"]["count"].number, 4);
  EXPECT_EQ(first["missing"]["entries"][0].text,
            "cannot read /home/田中/仕事/a: Permission denied");
  EXPECT_EQ(second["missing"].kind, Json::Kind::kNull);

  EXPECT_EQ(json["findings"][0]["severity"].text, "problem");
  EXPECT_EQ(json["findings"][0]["key"].text, "0001");
  EXPECT_EQ(json["findings"][1]["severity"].text, "note");
  EXPECT_EQ(json["findings"][1]["section"].kind, Json::Kind::kNull);
  EXPECT_EQ(json["findings"][0]["line"].number, 12);
  EXPECT_EQ(json["findings"][0]["action"].text, "Rename it.");
  EXPECT_EQ(json["findings"][1]["line"].kind, Json::Kind::kNull);
  EXPECT_EQ(json["findings"][1]["action"].kind, Json::Kind::kNull);

  EXPECT_EQ(json["errorLog"]["count"].number, 3);
  EXPECT_EQ(json["errorLog"]["newest"][0]["time"].text, "2026/12/07 22:00:05 (2)");
  EXPECT_EQ(json["errorLog"]["newest"][0]["target"].text, "/home/田中/仕事");
  EXPECT_EQ(json["errorLog"]["newest"][1]["reason"].kind, Json::Kind::kNull);
  EXPECT_EQ(json["recovery"]["count"].number, 2);
  EXPECT_EQ(json["recovery"]["newest"][0]["entry"].text, "Restored:/t\tAttributes:17");
  EXPECT_EQ(json["retention"]["count"].number, 1);
  EXPECT_EQ(json["retention"]["newest"][0]["entry"].text,
            "Removed:/b/n_20261206220005.zip\tSlot:0000\tBytes:12");
  EXPECT_EQ(json["logFile"]["newest"]["message"].text,
            "ModuleName:Main\tObjectName:AppModule\tErrorInfo:x");
}

TEST(JsonReportTest, UnreadableFileSaysWhyWithExitStatusTwo) {
  check::Report report;
  report.settingsPath = "/nowhere/slotbackup.ini";
  report.readError = "There is no file \"/nowhere/slotbackup.ini\".";
  const Json json = Parse(check::JsonReport(report));
  EXPECT_FALSE(json["readable"].boolean);
  EXPECT_EQ(json["error"].text, report.readError);
  EXPECT_EQ(json["exitStatus"].number, 2);
  EXPECT_THROW(json["slots"], std::runtime_error);
}

TEST(TextReportTest, ControlCharactersFromTheFileNeverReachTheTerminal) {
  check::Report report = SampleReport();
  report.slots[0].target = "/evil\x1b]0;title\x07";
  const std::string text = check::TextReport(report);
  EXPECT_EQ(text.find('\x1b'), std::string::npos);
  EXPECT_EQ(text.find('\x07'), std::string::npos);
  EXPECT_NE(text.find("/evil?]0;title?"), std::string::npos);
  EXPECT_NE(text.find("exit status 1"), std::string::npos);
}

TEST(TextReportTest, ShowsLinesActionsWalksAndReasons) {
  const std::string text = check::TextReport(SampleReport());
  for (const char* part :
       {"line 12: Slot 0001", "What to do: Rename it.",
        "walked  3 files (5,000,000,000 bytes) in 0 folders; 7 unreadable;",
        "1 passed over; cut short", "failed  2026/12/07 22:00:05 (2): cannot read",
        "Restored:/t  Attributes:17",
        "keeps   the newest 2; the next run removes 仕事_20261201220005.zip,"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
}

}  // namespace
