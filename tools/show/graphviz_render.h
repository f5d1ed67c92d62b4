// Pictures of DOT graphs through Graphviz's library (gvc and cgraph): the
// dot layout, rendered as SVG or PNG in memory, with no program to run.
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"

struct GVC_s;

namespace tavrel::tools {

class GraphvizRenderer {
 public:
  // Uses the process's one Graphviz context, made at the first use: it
  // loads the plugins once, and a context freed and made again would use
  // font data that the first one freed (Graphviz keeps it per process).
  // Graphviz's own messages are kept, not printed.
  GraphvizRenderer();
  ~GraphvizRenderer() = default;
  GraphvizRenderer(const GraphvizRenderer&) = delete;
  GraphvizRenderer& operator=(const GraphvizRenderer&) = delete;

  // Lays out the graph in `dot` and renders it in `format` ("svg" or
  // "png") into `picture`. Fails with Graphviz's reason. One picture is
  // drawn at a time in the process, whatever the thread.
  Result render(const std::string& dot, std::string_view format, std::string* picture);

 private:
  GVC_s* context_;
};

// `svg` without the XML declaration, doctype and comments that Graphviz
// writes before the <svg> element, for use inline in an HTML page.
std::string_view svgElement(std::string_view svg);

}  // namespace tavrel::tools
