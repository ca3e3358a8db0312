// The comparison's figures are what the measured programs cost, failures are
// never reported as figures, and the table and the picture show each
// archiver where its figures put it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "bench/compare/contenders.h"
#include "bench/compare/measure.h"
#include "bench/compare/report.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

class Work : public ::testing::Test {
 protected:
  bench::Sample Run(const std::vector<std::string>& command) {
    return bench::Measure(BENCH_LAUNCH, command, folder_, folder_);
  }

  test_support::ScratchFolder folder_;
};

struct Point {
  double x, y;
  std::string fill;
};

std::vector<Point> Points(const std::string& svg) {
  std::vector<Point> points;
  const std::regex circle(
      R"re(<circle cx="([0-9.]+)" cy="([0-9.]+)" r="6" stroke="[^"]*" stroke-width="2" fill="([^"]*)")re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), circle); it != std::sregex_iterator();
       ++it) {
    points.push_back({std::stod((*it)[1]), std::stod((*it)[2]), (*it)[3]});
  }
  return points;
}

}  // namespace

TEST_F(Work, AFailingProgramIsAFailureWithItsStatusAndOutput) {
  const bench::Sample sample = Run({"sh", "-c", "echo the disk is full >&2; exit 3"});
  EXPECT_FALSE(sample.ok);
  EXPECT_NE(sample.failure.find("exit status 3"), std::string::npos) << sample.failure;
  EXPECT_NE(sample.failure.find("the disk is full"), std::string::npos) << sample.failure;
}

TEST_F(Work, AProgramEndedBySignalOrNeverStartedIsAFailure) {
  const bench::Sample killed = Run({"sh", "-c", "kill -9 $$"});
  EXPECT_FALSE(killed.ok);
  EXPECT_NE(killed.failure.find("signal 9"), std::string::npos) << killed.failure;
  EXPECT_FALSE(Run({"no-such-archiver-anywhere"}).ok);
  EXPECT_FALSE(bench::Measure(folder_ / "no-launcher", {"true"}, folder_, folder_).ok);
}

TEST_F(Work, PeakMemoryIsTheProgramsOwnNotThatOfWhatStartedIt) {
  // This process grows to 300 MiB; a program it starts that needs little
  // must still show little.
  std::vector<char> ballast(300u << 20, 1);
  const bench::Sample small = Run({"true"});
  ASSERT_TRUE(small.ok) << small.failure;
  EXPECT_LT(small.peakMiB, 50) << "the starter's memory was counted";
  EXPECT_EQ(ballast[12345], 1);
  // dd holds a 64 MiB block in memory.
  const bench::Sample large = Run({"dd", "if=/dev/zero", "of=/dev/null", "bs=64M", "count=2"});
  ASSERT_TRUE(large.ok) << large.failure;
  EXPECT_GT(large.peakMiB, 60);
}

TEST_F(Work, TimesAreThoseOfTheProgramRunInTheGivenFolder) {
  const bench::Sample busy =
      Run({"sh", "-c", "pwd > where; i=0; while [ $i -lt 300000 ]; do i=$((i+1)); done"});
  ASSERT_TRUE(busy.ok) << busy.failure;
  EXPECT_GT(busy.cpu, 0.05);
  EXPECT_GE(busy.wall, busy.cpu * 0.9) << "one thread cannot use more CPU than wall time";
  EXPECT_EQ(test_support::ReadBytes(folder_ / "where"), fs::canonical(folder_).string() + "\n");
}

TEST_F(Work, EveryArchiverPacksTheWholeFolderAsAnIndependentReaderSeesIt) {
  // Figures of an archiver that left files out would mean nothing.
  const fs::path data = folder_ / "data set";
  test_support::WriteBytes(data / "a.txt", "some text\n");
  test_support::WriteBytes(data / "with blank.txt", "more text\n");
  test_support::WriteBytes(data / "empty.txt", "");
  test_support::WriteBytes(data / "sub" / "b.txt", std::string(50000, 'b'));
  test_support::WriteBytes(data / "sub" / "deeper" / "c.bin", std::string(200000, '\x07'));
  const std::set<std::string> expected = {"data set/a.txt", "data set/with blank.txt",
                                          "data set/empty.txt", "data set/sub/b.txt",
                                          "data set/sub/deeper/c.bin"};
  if (std::system("command -v bsdtar >/dev/null") != 0) GTEST_SKIP() << "bsdtar is not installed";
#ifdef BENCH_OURS_FOLDER
  const std::string ours = BENCH_OURS_FOLDER;
#else
  const std::string ours = "/nonexistent";
#endif
  int ran = 0, index = 0;
  for (const bench::Contender& contender : bench::Contenders(ours, {})) {
    const std::string label = contender.format + " " + contender.name;
    if (!bench::Missing(contender).empty()) continue;
    const fs::path archive = folder_ / ("out" + std::to_string(index++) + contender.extension);
    const bench::Sample sample = Run(bench::CommandFor(contender, archive.string(), "data set"));
    ASSERT_TRUE(sample.ok) << label << ": " << sample.failure;
    ++ran;
    std::set<std::string> listed;
    FILE* pipe = popen(("bsdtar -tf '" + archive.string() + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) {
      std::string name(line);
      while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
      if (name.rfind("./", 0) == 0) name = name.substr(2);
      if (!name.empty() && name.back() != '/' && name != "data set") listed.insert(name);
    }
    EXPECT_EQ(pclose(pipe), 0) << label;
    EXPECT_EQ(listed, expected) << label;
  }
  if (ran == 0) GTEST_SKIP() << "none of the archivers is installed";
}

TEST(Median, IsTheMiddleOrTheMeanOfTheMiddleTwo) {
  EXPECT_EQ(bench::Median({3, 1, 2}), 2);
  EXPECT_EQ(bench::Median({4, 1, 3, 2}), 2.5);
  EXPECT_EQ(bench::Median({7}), 7);
  EXPECT_EQ(bench::Median({}), 0);
}

TEST(Contenders, EachFormatHasOursAndTheUsualTools) {
  const auto all = bench::Contenders("/opt/bench", {});
  auto names = [](const std::vector<bench::Contender>& list, const std::string& format) {
    std::vector<std::string> out;
    for (const auto& c : list) {
      if (c.format == format) out.push_back(c.name);
    }
    return out;
  };
  EXPECT_EQ(names(all, "LHA"),
            (std::vector<std::string>{"ours lh5", "ours lh7", "jlha lh5", "jlha lh7"}));
  EXPECT_EQ(names(all, "ZIP"), (std::vector<std::string>{"ours", "zip -6", "7zz -tzip", "bsdtar"}));
  EXPECT_EQ(names(all, "7z"), (std::vector<std::string>{"ours", "7zz -t7z", "bsdtar"}));
  const auto zipOnly = bench::Contenders("/opt/bench", {"zip"});
  ASSERT_EQ(zipOnly.size(), 4u);
  EXPECT_EQ(zipOnly[0].command[0], "/opt/bench/bench_ours");
}

TEST(Contenders, CommandsNameTheArchiveAndTheFolderAndMissingToolsAreNamed) {
  bench::Contender zip{
      "ZIP", "zip -6", false, ".zip", {"zip", "-q", "-r", "-6", "ARCHIVE", "FOLDER"}, {"zip"}};
  EXPECT_EQ(bench::CommandFor(zip, "/w/a b.zip", "my corpus"),
            (std::vector<std::string>{"zip", "-q", "-r", "-6", "/w/a b.zip", "my corpus"}));
  zip.needs = {"sh", "no-such-archiver-anywhere"};
  EXPECT_EQ(bench::Missing(zip), "no-such-archiver-anywhere is not installed");
  zip.needs = {"sh", "/no/such/file.jar"};
  EXPECT_EQ(bench::Missing(zip), "/no/such/file.jar is not installed");
  zip.needs = {"sh"};
  EXPECT_EQ(bench::Missing(zip), "");
}

TEST(Report, TheTableShowsFiguresOrWhyThereAreNone) {
  std::vector<bench::Result> results(2);
  results[0] = {"ZIP", "ours", true, "", 1234567, 2.0, 3.5, 12.25};
  results[1] = {"LHA", "jlha lh5", false, "java is not installed"};
  const std::string table = bench::Table(results, 10'000'000);
  EXPECT_NE(table.find("1,234,567"), std::string::npos) << table;
  EXPECT_NE(table.find("0.123"), std::string::npos) << table;
  EXPECT_NE(table.find("5.0"), std::string::npos) << "10 MB in 2 s\n" << table;
  EXPECT_NE(table.find("jlha lh5     not measured: java is not installed"), std::string::npos)
      << table;
}

TEST(Report, ThePictureSetsFasterLeftAndSmallerLowerAndOnlyWhatRan) {
  std::vector<bench::Result> results(4);
  results[0] = {"ZIP", "fast <&> big", false, "", 5e6, 1.0, 1.0, 3};
  results[1] = {"7z", "slow small", false, "", 2e6, 40.0, 70.0, 300};
  results[2] = {"LHA", "ours lh5", true, "", 4e6, 8.0, 8.0, 20};
  results[3] = {"LHA", "jlha lh7", false, "java is not installed"};
  const std::string svg = bench::Svg(results, 10'000'000, "size & time");
  const std::vector<Point> points = Points(svg);
  ASSERT_EQ(points.size(), 3u) << "one point for each archiver that ran";
  EXPECT_LT(points[0].x, points[2].x);
  EXPECT_LT(points[2].x, points[1].x);
  // SVG's y grows downwards: a smaller archive is drawn lower, nearer the axis.
  EXPECT_GT(points[1].y, points[2].y);
  EXPECT_GT(points[2].y, points[0].y);
  EXPECT_EQ(points[0].fill, "white");
  EXPECT_NE(points[2].fill, "white") << "ours is filled";
  EXPECT_NE(svg.find("fast &lt;&amp;&gt; big"), std::string::npos);
  EXPECT_NE(svg.find("size &amp; time"), std::string::npos);
  EXPECT_EQ(svg.find("jlha lh7"), std::string::npos);
  EXPECT_EQ(svg.find("<&>"), std::string::npos) << "unescaped text";
}
