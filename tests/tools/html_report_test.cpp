// tavrel-show's HTML page: its golden text (pictures aside, which depend on
// the Graphviz version), its well-formedness for an HTML checker, and what
// a real browser makes of it: headless Chromium runs the page's script and
// takes a screenshot. The browser checks are skipped when Chromium is not
// installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tools/tools_test_support.h"

namespace tavrel::testing {
namespace {

// The page for data/show/patterns.txt, with the item table that knows the
// database's size.
std::string reportPage() {
  ChildOptions inData;
  inData.workingDir = dataPath("show");
  RunResult page =
      runShowTool({"--format", "html", "--items", "report-items.tsv", "patterns.txt"}, inData);
  EXPECT_EQ(page.status, 0);
  EXPECT_EQ(page.err, "");
  return page.out;
}

// The page with every picture's content taken out.
std::string withoutPictures(const std::string& page) {
  std::string result;
  size_t at = 0;
  for (size_t start; (start = page.find("<svg", at)) != std::string::npos;) {
    size_t end = page.find("</svg>", start);
    if (end == std::string::npos) break;
    result.append(page, at, start - at).append("<svg><!-- picture --></svg>");
    at = end + 6;
  }
  return result.append(page, at, std::string::npos);
}

// The pattern numbers in the first column of the page's table, in order.
std::vector<int> tableOrder(const std::string& page) {
  const std::string rowStart = "<tr><td class=\"number\">";
  std::vector<int> numbers;
  for (size_t at = page.find(rowStart); at != std::string::npos; at = page.find(rowStart, at + 1)) {
    numbers.push_back(std::atoi(page.c_str() + at + rowStart.size()));
  }
  return numbers;
}

TEST(HtmlReportTest, PageMatchesItsGoldenTextAndIsWellFormed) {
  std::string page = reportPage();
  EXPECT_EQ(withoutPictures(page), readData("show/report.html"));
  size_t pictures = 0;
  for (size_t at = page.find("<svg width="); at != std::string::npos;
       at = page.find("<svg width=", at + 1)) {
    ++pictures;
  }
  EXPECT_EQ(pictures, 5u);
  EXPECT_NE(page.find("Pattern 4, support 3"), std::string::npos);

  ScratchDir dir;
  std::string file = dir.write("report.html", page);
  std::string xmllint = findProgram("xmllint");
  if (!xmllint.empty()) {
    RunResult parsed = runChild({"--noout", file}, {}, xmllint);
    EXPECT_EQ(parsed.status, 0) << parsed.err;
  }
  std::string tidy = findProgram("tidy");
  if (tidy.empty()) GTEST_SKIP() << "HTML Tidy is not installed";
  RunResult checked = runChild({"-q", "-e", file}, {}, tidy);
  EXPECT_EQ(checked.status, 0) << checked.err;
  EXPECT_EQ(checked.err, "");
}

TEST(HtmlReportTest, ChromiumSortsTheTableAndDrawsThePage) {
  std::string chromium = findProgram("chromium");
  if (chromium.empty()) GTEST_SKIP() << "Chromium is not installed";
  ScratchDir dir;
  std::string file = dir.write("report.html", reportPage());
  std::vector<std::string> browser{"60",
                                   chromium,
                                   "--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--disable-quic",
                                   "--no-first-run",
                                   "--disable-background-networking",
                                   "--disable-component-update",
                                   "--disable-sync",
                                   "--user-data-dir=" + dir.path() + "/profile",
                                   "--window-size=1000,1400"};
  std::string url = "file://" + file;

  // The page comes in pattern-number order; its script puts the table in
  // ranking order (support 5, 4, 3, 3, 2, ties by number) on opening.
  std::vector<std::string> dump = browser;
  dump.insert(dump.end(), {"--dump-dom", url});
  RunResult dom = runChild(dump, {}, "/usr/bin/timeout");
  ASSERT_EQ(dom.status, 0) << dom.err;
  EXPECT_EQ(tableOrder(readFile(file)), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(tableOrder(dom.out), (std::vector<int>{1, 3, 2, 4, 5}));
  EXPECT_NE(dom.out.find("id=\"support-column\" tabindex=\"0\" aria-sort=\"descending\""),
            std::string::npos);

  std::vector<std::string> shoot = browser;
  shoot.insert(shoot.end(), {"--screenshot=" + dir.path() + "/page.png", url});
  RunResult shot = runChild(shoot, {}, "/usr/bin/timeout");
  ASSERT_EQ(shot.status, 0) << shot.err;
  std::string png = readFile(dir.path() + "/page.png");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  // The IHDR chunk holds the picture's width and height, big-endian.
  auto number = [&](size_t at) {
    return (static_cast<unsigned char>(png[at]) << 24) |
           (static_cast<unsigned char>(png[at + 1]) << 16) |
           (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
  };
  EXPECT_EQ(number(16), 1000);
  EXPECT_EQ(number(20), 1400);
}

}  // namespace
}  // namespace tavrel::testing
