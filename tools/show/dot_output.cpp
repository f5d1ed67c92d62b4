#include "show/dot_output.h"

#include <algorithm>
#include <string>
#include <vector>

#include "show/hasse.h"
#include "show/text_escape.h"

namespace tavrel::tools {

namespace {

std::string nodeName(int item) {
  std::string name(1, 'i');
  name += std::to_string(item);
  return name;
}

}  // namespace

std::string dotGraph(const Pattern& pattern, const ItemTable* table, bool allEdges, bool* cycle) {
  std::vector<Edge> drawn;
  *cycle = false;
  if (allEdges) {
    drawn = pattern.edges;
  } else if (transitiveReduction(pattern.edges, &drawn) != 0) {
    *cycle = true;
  }
  std::string number = std::to_string(pattern.number);
  std::string dot = "digraph pattern_" + number + " {\n";
  dot += "  label=\"Pattern " + number + ", support " + std::to_string(pattern.support) + "\";\n";
  dot += "  labelloc=t;\n  rankdir=LR;\n  node [shape=box, style=rounded];\n";
  if (*cycle) dot += "  // the edges form a cycle: all of them are drawn\n";
  std::vector<int> items = itemsOf(pattern.edges);
  for (int item : items) {
    dot += "  " + nodeName(item) + " [label=" + dotString(labelOrNumber(table, item)) + "];\n";
  }
  for (const Edge& edge : drawn) {
    dot += "  " + nodeName(edge.from) + " -> " + nodeName(edge.to) + ";\n";
  }
  dot += "}\n";
  return dot;
}

}  // namespace tavrel::tools
