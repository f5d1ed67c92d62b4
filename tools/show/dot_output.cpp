#include "show/dot_output.h"

#include <algorithm>
#include <string>
#include <vector>

#include "show/hasse.h"
#include "show/text_escape.h"

namespace tavrel::tools {

namespace {

void putNodeName(OutputSink* sink, int item) {
  sinkPutChar(sink, 'i');
  sinkPutInt(sink, item);
}

}  // namespace

void putDotGraph(OutputSink* sink, const Pattern& pattern, const ItemTable* table, bool allEdges,
                 bool* cycle) {
  std::vector<Edge> drawn;
  *cycle = false;
  if (allEdges) {
    drawn = pattern.edges;
  } else if (transitiveReduction(pattern.edges, &drawn) != 0) {
    *cycle = true;
  }
  std::string number = std::to_string(pattern.number);
  sinkPut(sink, "digraph pattern_" + number + " {\n");
  sinkPut(sink,
          "  label=\"Pattern " + number + ", support " + std::to_string(pattern.support) + "\";\n");
  sinkPut(sink, "  labelloc=t;\n  rankdir=LR;\n  node [shape=box, style=rounded];\n");
  if (*cycle) sinkPut(sink, "  // the edges form a cycle: all of them are drawn\n");
  std::vector<int> items;
  for (const Edge& edge : pattern.edges) {
    items.push_back(edge.from);
    items.push_back(edge.to);
  }
  std::sort(items.begin(), items.end());
  items.erase(std::unique(items.begin(), items.end()), items.end());
  for (int item : items) {
    sinkPut(sink, "  ");
    putNodeName(sink, item);
    sinkPut(sink, " [label=" + dotString(labelOrNumber(table, item)) + "];\n");
  }
  for (const Edge& edge : drawn) {
    sinkPut(sink, "  ");
    putNodeName(sink, edge.from);
    sinkPut(sink, " -> ");
    putNodeName(sink, edge.to);
    sinkPut(sink, ";\n");
  }
  sinkPut(sink, "}\n");
}

}  // namespace tavrel::tools
