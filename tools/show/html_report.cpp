#include "show/html_report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "show/dot_output.h"
#include "show/graphviz_render.h"
#include "show/picture_writers.h"
#include "show/selection.h"
#include "show/share_text.h"
#include "show/summary_output.h"
#include "show/text_escape.h"

namespace tavrel::tools {

namespace {

constexpr const char* kStyle = R"(
body { font-family: sans-serif; margin: 2em; color: #222; }
h1 { font-size: 1.5em; }
pre { background: #f6f6f6; padding: 1em; }
figure { margin: 0 0 1em 0; padding: 0.5em; border: 1px solid #ddd; overflow-x: auto; }
table { border-collapse: collapse; }
th, td { border: 1px solid #ccc; padding: 0.25em 0.5em; text-align: left; vertical-align: top; }
td.number { text-align: right; }
th { background: #eee; cursor: pointer; user-select: none; }
th[aria-sort=ascending]::after { content: " \25B2"; }
th[aria-sort=descending]::after { content: " \25BC"; }
)";

// Sorts the table by the clicked column, numbers by value and text by
// collation, each click turning the direction; on opening the table is
// put in ranking order (support, descending). Ties keep their order, as
// the browser's sort is stable. It holds no '<' or '&', so that the page
// is well-formed XML as well.
constexpr const char* kScript = R"(
function sortTable(header, ascending) {
  var table = header.closest("table");
  var column = Array.prototype.indexOf.call(header.parentNode.children, header);
  var numeric = header.dataset.type === "number";
  table.querySelectorAll("th").forEach(function (other) { other.removeAttribute("aria-sort"); });
  header.setAttribute("aria-sort", ascending ? "ascending" : "descending");
  var body = table.tBodies[0];
  var rows = Array.from(body.rows);
  function key(row) {
    var cell = row.cells[column];
    var value = cell.dataset.value || cell.textContent;
    return numeric ? Number(value) : value;
  }
  rows.sort(function (a, b) {
    var x = key(a), y = key(b);
    var order = numeric ? x - y : String(x).localeCompare(String(y));
    return ascending ? order : -order;
  });
  rows.forEach(function (row) { body.appendChild(row); });
}
document.querySelectorAll("table.sortable th").forEach(function (header) {
  header.tabIndex = 0;
  header.addEventListener("click", function () {
    sortTable(header, header.getAttribute("aria-sort") !== "ascending");
  });
});
var supportHeader = document.getElementById("support-column");
if (supportHeader) sortTable(supportHeader, false);
)";

// The edges of a pattern as "from → to; ...", labelled.
std::string edgesText(const Pattern& pattern, const ItemTable* table) {
  std::string text;
  for (std::size_t k = 0; k < pattern.edges.size(); ++k) {
    if (k > 0) text += "; ";
    text += labelOrNumber(table, pattern.edges[k].from) + " \u2192 " +
            labelOrNumber(table, pattern.edges[k].to);
  }
  return htmlText(text);
}

// Rewrites the size attribute `name` of an <svg> start tag from points,
// as Graphviz writes it ("325pt"), to as many CSS pixels ("325"), the unit
// HTML gives its width and height attributes. A picture is so drawn at
// three quarters of the size a browser gives the SVG file, which lets wide
// patterns fit the page more often; the text stays readable.
void pointsToPixels(std::string* tag, const std::string& name) {
  std::string start = " " + name + "=\"";
  std::size_t at = tag->find(start);
  if (at == std::string::npos) return;
  std::size_t value = at + start.size();
  std::size_t end = tag->find("pt\"", value);
  if (end == std::string::npos) return;
  double points = std::strtod(tag->c_str() + value, nullptr);
  tag->replace(value, end + 2 - value, std::to_string(std::lround(points)));
}

// A prefix per pattern for every id of its picture.
std::string uniqueIds(std::string_view svg, std::int64_t number) {
  std::string prefix = " id=\"p" + std::to_string(number) + "-";
  std::string result;
  std::size_t at = 0;
  for (std::size_t found; (found = svg.find(" id=\"", at)) != std::string_view::npos;) {
    result.append(svg.substr(at, found - at)).append(prefix);
    at = found + 5;
  }
  result.append(svg.substr(at));
  return result;
}

// The picture for the page: the <svg> element alone, its size in pixels,
// and its ids made unique, since Graphviz names the elements of every
// picture alike ("graph0", "node1").
std::string inlineSvg(std::string_view svg, std::int64_t number) {
  svg = svgElement(svg);
  std::size_t tagEnd = svg.find('>');
  if (tagEnd == std::string_view::npos) return uniqueIds(svg, number);
  std::string tag(svg.substr(0, tagEnd));
  pointsToPixels(&tag, "width");
  pointsToPixels(&tag, "height");
  return uniqueIds(tag, number) + uniqueIds(svg.substr(tagEnd), number);
}

class HtmlWriter : public PatternWriter {
 public:
  HtmlWriter(const ShowContext& context, const std::string& inputName, std::size_t tableRows)
      : context_(context), inputName_(inputName) {
    rows_.limit = tableRows;
  }

  Result add(const Pattern& pattern) override {
    countPattern(&counts_, pattern);
    offerPattern(&rows_, pattern);
    return Result();
  }

  Result finish(long total) override {
    std::vector<Pattern> ranking = takeRanking(&rows_);
    std::string pictures;
    Result drawn = addPictures(ranking, &pictures);
    if (!drawn.ok()) return drawn;
    OutputSink* out = context_.out;
    sinkPut(out, "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n");
    sinkPut(out, "<title>Patterns of " + htmlText(inputName_) + "</title>\n");
    sinkPut(out, std::string("<style>") + kStyle + "</style>\n</head>\n<body>\n");
    sinkPut(out, "<h1>Patterns of " + htmlText(inputName_) + "</h1>\n");
    sinkPut(out, "<h2>Summary</h2>\n<pre>" + htmlText(summaryText(counts_, total, context_.table)) +
                     "</pre>\n");
    sinkPut(out, pictures);
    putTable(ranking);
    sinkPut(out, std::string("<script>//<![CDATA[") + kScript + "//]]></script>\n");
    sinkPut(out, "</body>\n</html>\n");
    return Result();
  }

 private:
  // The pictures of the first kHtmlPictures patterns of the ranking.
  Result addPictures(const std::vector<Pattern>& ranking, std::string* html) {
    std::size_t count = std::min(ranking.size(), kHtmlPictures);
    if (count == 0) return Result();
    GraphvizRenderer renderer;
    *html += "<h2>The " + std::to_string(count) + " pattern" + (count == 1 ? "" : "s") +
             " of highest support</h2>\n";
    for (std::size_t k = 0; k < count; ++k) {
      const Pattern& pattern = ranking[k];
      std::string tooLarge = tooLargeToDraw(pattern);
      if (!tooLarge.empty()) {
        tooLarge[0] = 'P';  // "pattern 5 has ..." begins the sentence
        tooLarge.push_back('.');
        *html += "<figure id=\"pattern-" + std::to_string(pattern.number) + "\"><p>" +
                 htmlText(tooLarge) + "</p></figure>\n";
        continue;
      }
      bool cycle = false;
      std::string dot = dotGraph(pattern, context_.table, context_.allEdges, &cycle);
      noteDrawing(context_, pattern, static_cast<long>(k) + 1, cycle);
      std::string svg;
      Result rendered = renderer.render(dot, "svg", &svg);
      if (!rendered.ok()) return rendered;
      *html += "<figure id=\"pattern-" + std::to_string(pattern.number) + "\">\n" +
               inlineSvg(svg, pattern.number) + "</figure>\n";
    }
    return Result();
  }

  void putTable(std::vector<Pattern>& ranking) {
    OutputSink* out = context_.out;
    long long strings = context_.table != nullptr && context_.table->fingerprint
                            ? context_.table->fingerprint->strings
                            : 0;
    sinkPut(out, "<h2>Patterns</h2>\n");
    if (static_cast<long>(ranking.size()) < counts_.patterns) {
      sinkPut(out, "<p>The table holds the " + std::to_string(ranking.size()) +
                       " patterns of highest support of the " + std::to_string(counts_.patterns) +
                       " chosen; choose others with --top, --min-support or --pattern.</p>\n");
    }
    sinkPut(out,
            "<table class=\"sortable\">\n<thead><tr><th data-type=\"number\">Pattern</th>"
            "<th data-type=\"number\" id=\"support-column\">Support</th>");
    if (strings > 0) sinkPut(out, "<th data-type=\"number\">Share</th>");
    sinkPut(out, "<th data-type=\"number\">Edges</th><th>Order</th></tr></thead>\n<tbody>\n");
    // In pattern-number order; the script puts them in ranking order.
    std::sort(ranking.begin(), ranking.end(),
              [](const Pattern& a, const Pattern& b) { return a.number < b.number; });
    for (const Pattern& pattern : ranking) {
      std::string support = std::to_string(pattern.support);
      std::string row = "<tr><td class=\"number\">" + std::to_string(pattern.number) +
                        "</td><td class=\"number\">" + support + "</td>";
      if (strings > 0) {
        row += "<td class=\"number\" data-value=\"" + support + "\">" +
               htmlText(shareText(pattern.support, strings)) + "</td>";
      }
      row += "<td class=\"number\">" + std::to_string(pattern.edges.size()) + "</td><td>" +
             edgesText(pattern, context_.table) + "</td></tr>\n";
      sinkPut(out, row);
    }
    sinkPut(out, "</tbody>\n</table>\n");
  }

  ShowContext context_;
  std::string inputName_;
  SummaryCounts counts_;
  TopPatterns rows_;
};

}  // namespace

std::unique_ptr<PatternWriter> makeHtmlWriter(const ShowContext& context,
                                              const std::string& inputName, std::size_t tableRows) {
  return std::make_unique<HtmlWriter>(context, inputName, tableRows);
}

}  // namespace tavrel::tools
