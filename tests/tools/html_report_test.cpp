// tavrel-show's explorer page as the program writes it: its data (golden
// JSON), its pictures, its well-formedness for an HTML checker, and that
// no label can end the data's script element. What a browser makes of the
// page is tested in explorer_browser_test.py.
#include "show/html_report.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/output_sink.h"
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

// The page that makeHtmlWriter() writes for `ranking` with `cases`;
// "error: ..." when it fails.
std::string pageWithCases(const std::vector<tools::Pattern>& ranking, tools::CaseSource cases) {
  ScratchDir dir;
  std::string path = dir.path() + "/page.html";
  tools::OutputSink out;
  out.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  tools::ShowContext context;
  context.out = &out;
  auto writer = tools::makeHtmlWriter(context, "out.txt", 10, std::move(cases));
  for (const tools::Pattern& pattern : ranking) EXPECT_TRUE(writer->add(pattern).ok());
  Result finished = writer->finish(7);
  EXPECT_EQ(tools::sinkFlush(&out), 0);
  ::close(out.fd);
  return finished.ok() ? readFile(path) : "error: " + std::string(finished.message());
}

TEST(HtmlReportTest, CasesGoIntoTheDataWhenASourceGivesThem) {
  std::vector<tools::Pattern> ranking(2);
  ranking[0].number = 4;
  ranking[0].support = 60;
  ranking[0].edges = {{0, 1}};
  ranking[1].number = 2;
  ranking[1].support = 1;
  ranking[1].edges = {{1, 0}};
  int calls = 0;
  tools::CaseSource cases = [&calls](std::span<const tools::Pattern> patterns,
                                     std::vector<tools::SupportingCases>* found) {
    ++calls;
    for (const tools::Pattern& pattern : patterns) {
      found->emplace_back();
      found->back().count = pattern.support;
      for (int k = 0; k < pattern.support; ++k) {
        found->back().names.push_back("c<" + std::to_string(k));
      }
    }
    return Result();
  };
  std::string names;
  for (int k = 0; k < 50; ++k)
    names += (k > 0 ? ",\"c\\u003c" : "\"c\\u003c") + std::to_string(k) + "\"";
  EXPECT_EQ(pageData(pageWithCases(ranking, cases)),
            "{\"input\":\"out.txt\",\"total\":7,\"chosen\":2,\"patterns\":[[4,60,[0,1]],"
            "[2,1,[1,0]]],\"cases\":[[60,[" +
                names + "]],[1,[\"c\\u003c0\"]]]}");
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(pageData(pageWithCases(ranking, {})).find("cases"), std::string::npos);

  tools::CaseSource failing = [](std::span<const tools::Pattern>,
                                 std::vector<tools::SupportingCases>*) {
    return Result::failure("the database is not the output's");
  };
  EXPECT_EQ(pageWithCases(ranking, failing), "error: the database is not the output's");
  tools::CaseSource short_ = [](std::span<const tools::Pattern>,
                                std::vector<tools::SupportingCases>* found) {
    found->resize(1);
    return Result();
  };
  EXPECT_EQ(pageWithCases(ranking, short_), "error: the cases of 1 patterns were found for 2");
}

}  // namespace
}  // namespace tavrel::testing
