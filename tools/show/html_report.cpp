#include "show/html_report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "show/dot_output.h"
#include "show/explorer_assets.h"
#include "show/graphviz_render.h"
#include "show/picture_writers.h"
#include "show/selection.h"
#include "show/text_escape.h"

namespace tavrel::tools {

namespace {

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
  HtmlWriter(const ShowContext& context, const std::string& inputName, std::size_t tableRows,
             CaseSource cases)
      : context_(context), inputName_(inputName), cases_(std::move(cases)) {
    rows_.limit = tableRows;
  }

  Result add(const Pattern& pattern) override {
    ++chosen_;
    offerPattern(&rows_, pattern);
    return Result();
  }

  Result finish(long total) override {
    std::vector<Pattern> ranking = takeRanking(&rows_);
    std::string pictures;
    std::vector<SupportingCases> cases;
    Result found = addPictures(ranking, &pictures);
    if (found.ok() && cases_) found = findCases(ranking, &cases);
    if (!found.ok()) return found;
    ExplorerFigures figures{inputName_, total, chosen_};
    std::string json = explorerJson(figures, ranking, context_.table, cases_ ? &cases : nullptr);
    OutputSink* out = context_.out;
    std::string title = "Patterns of " + htmlText(inputName_);
    sinkPut(out, "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n");
    sinkPut(out, "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n");
    sinkPut(out, "<title>" + title + "</title>\n");
    sinkPut(out, std::string("<style>") + kExplorerStyle + "</style>\n</head>\n<body>\n");
    sinkPut(out, "<h1>" + title + "</h1>\n");
    sinkPut(out, "<noscript><p>The explorer needs JavaScript.</p></noscript>\n");
    sinkPut(out, "<div id=\"explorer\"></div>\n<div id=\"pictures\" hidden=\"hidden\">\n");
    sinkPut(out, pictures);
    sinkPut(out, "</div>\n<script type=\"application/json\" id=\"explorer-data\">");
    sinkPut(out, scriptSafeJson(json));
    sinkPut(out, std::string("</script>\n<script>//<![CDATA[\n") + kExplorerScript +
                     "//]]></script>\n</body>\n</html>\n");
    return Result();
  }

 private:
  // The pictures of the first kHtmlPictures patterns of the ranking, each
  // in a <div data-pattern="N">; a pattern too large to draw gets none.
  Result addPictures(const std::vector<Pattern>& ranking, std::string* html) {
    std::size_t count = std::min(ranking.size(), kHtmlPictures);
    if (count == 0) return Result();
    GraphvizRenderer renderer;
    for (std::size_t k = 0; k < count; ++k) {
      const Pattern& pattern = ranking[k];
      if (!tooLargeToDraw(pattern).empty()) continue;
      bool cycle = false;
      std::string dot = dotGraph(pattern, context_.table, context_.allEdges, &cycle);
      noteDrawing(context_, pattern, static_cast<long>(k) + 1, cycle);
      std::string svg;
      Result rendered = renderer.render(dot, "svg", &svg);
      if (!rendered.ok()) return rendered;
      *html += "<div data-pattern=\"" + std::to_string(pattern.number) + "\">" +
               inlineSvg(svg, pattern.number) + "</div>\n";
    }
    return Result();
  }

  // The cases of every pattern of the page, one entry each.
  Result findCases(const std::vector<Pattern>& ranking, std::vector<SupportingCases>* cases) {
    Result found = cases_(ranking, cases);
    if (!found.ok()) return found;
    if (cases->size() != ranking.size()) {
      return Result::failure("the cases of " + std::to_string(cases->size()) +
                             " patterns were found for " + std::to_string(ranking.size()));
    }
    return Result();
  }

  ShowContext context_;
  std::string inputName_;
  CaseSource cases_;
  long chosen_ = 0;
  TopPatterns rows_;
};

}  // namespace

std::unique_ptr<PatternWriter> makeHtmlWriter(const ShowContext& context,
                                              const std::string& inputName, std::size_t tableRows,
                                              CaseSource cases) {
  return std::make_unique<HtmlWriter>(context, inputName, tableRows, std::move(cases));
}

}  // namespace tavrel::tools
