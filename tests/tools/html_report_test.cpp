// tavrel-show's explorer page as the program writes it: its data (golden
// JSON), its pictures, its well-formedness for an HTML checker, and that
// no label can end the data's script element. What a browser makes of the
// page is tested in explorer_browser_test.py.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "show/explorer_data.h"
#include "tools/tools_test_support.h"

namespace tavrel::testing {
namespace {

const std::string kDataStart = "<script type=\"application/json\" id=\"explorer-data\">";

// The JSON the page holds.
std::string pageData(const std::string& page) {
  size_t start = page.find(kDataStart);
  if (start == std::string::npos) return "";
  start += kDataStart.size();
  return page.substr(start, page.find("</script>", start) - start);
}

// The pattern numbers of the page's pictures, in order.
std::vector<int> pictureOrder(const std::string& page) {
  const std::string start = "<div data-pattern=\"";
  std::vector<int> numbers;
  for (size_t at = page.find(start); at != std::string::npos; at = page.find(start, at + 1)) {
    numbers.push_back(std::atoi(page.c_str() + at + start.size()));
    EXPECT_EQ(page.find("\"><svg width=", at), page.find('"', at + start.size()));
  }
  return numbers;
}

size_t occurrences(const std::string& text, const std::string& part) {
  size_t found = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

TEST(HtmlReportTest, PageHoldsItsDataAndPicturesAndIsWellFormed) {
  ChildOptions inData;
  inData.workingDir = dataPath("show");
  RunResult page =
      runShowTool({"--format", "html", "--items", "report-items.tsv", "patterns.txt"}, inData);
  ASSERT_EQ(page.status, 0);
  EXPECT_EQ(page.err, "");
  EXPECT_EQ(pageData(page.out) + "\n", readData("show/report.json"));
  EXPECT_EQ(pictureOrder(page.out), (std::vector<int>{1, 3, 2, 4, 5}));
  EXPECT_NE(page.out.find("Pattern 4, support 3"), std::string::npos);

  ScratchDir dir;
  std::string file = dir.write("report.html", page.out);
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

TEST(HtmlReportTest, LabelsCannotEndTheScriptOrOpenAComment) {
  ScratchDir dir;
  std::string items = dir.write(
      "items.tsv", "0\t</script><script>alert(1)</script>\n1\t<!-- \"><img src=x onerror=f()>\n");
  std::string patterns =
      dir.write("patterns.txt", completeRunOutput("Pattern 1 Support = 2: \n0-1\t\n\n", 1));
  RunResult page = runShowTool({"--format", "html", "--items", items, patterns});
  ASSERT_EQ(page.status, 0);
  std::string data = pageData(page.out);
  EXPECT_NE(data.find("\"0\":\"\\u003c/script\\u003e\\u003cscript\\u003ealert(1)"),
            std::string::npos);
  EXPECT_EQ(data.find_first_of("<>&"), std::string::npos);
  EXPECT_EQ(occurrences(page.out, "<script"), 2u);
  EXPECT_EQ(occurrences(page.out, "</script>"), 2u);
  EXPECT_EQ(occurrences(page.out, "<img"), 0u);
}

TEST(HtmlReportTest, CasesGoIntoTheDataWhenASourceGivesThem) {
  std::vector<tools::Pattern> ranking(2);
  ranking[0].number = 4;
  ranking[0].support = 60;
  ranking[0].edges = {{0, 1}};
  ranking[1].number = 2;
  ranking[1].support = 1;
  ranking[1].edges = {{1, 0}};
  tools::CaseSource cases = [](const tools::Pattern& pattern, tools::SupportingCases* found,
                               std::string* error) {
    if (pattern.number == 9) {
      *error = "no cases for pattern 9";
      return -1;
    }
    found->count = pattern.support;
    for (int k = 0; k < pattern.support; ++k) found->names.push_back("c<" + std::to_string(k));
    return 0;
  };
  std::string json;
  std::string error;
  tools::ExplorerFigures figures{"out.txt", 7, 2};
  ASSERT_EQ(tools::explorerJson(figures, ranking, nullptr, cases, &json, &error), 0);
  std::string names;
  for (int k = 0; k < 50; ++k) names += (k > 0 ? ",\"c<" : "\"c<") + std::to_string(k) + "\"";
  EXPECT_EQ(json,
            "{\"input\":\"out.txt\",\"total\":7,\"chosen\":2,\"patterns\":[[4,60,[0,1]],"
            "[2,1,[1,0]]],\"cases\":[[60,[" +
                names + "]],[1,[\"c<0\"]]]}");
  EXPECT_EQ(tools::scriptSafeJson("[\"a</script>&\"]"), "[\"a\\u003c/script\\u003e\\u0026\"]");
  EXPECT_EQ(tools::explorerJson(figures, ranking, nullptr, {}, &json, &error), 0);
  EXPECT_EQ(json.find("cases"), std::string::npos);
  ranking[1].number = 9;
  EXPECT_EQ(tools::explorerJson(figures, ranking, nullptr, cases, &json, &error), -1);
  EXPECT_EQ(error, "no cases for pattern 9");
}

}  // namespace
}  // namespace tavrel::testing
