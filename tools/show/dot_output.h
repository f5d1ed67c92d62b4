// Graphviz pictures of patterns: one digraph per pattern, items as boxes
// labelled from the item table (or with their numbers), drawn left to right
// in the order the edges give, the pattern's number and support on top.
#pragma once

#include <string>

#include "common/item_table.h"
#include "show/pattern.h"

namespace tavrel::tools {

// The pattern as a digraph in DOT: its Hasse diagram, or every edge with
// `allEdges`. When the edges hold a cycle, which a reduction cannot handle,
// every edge is drawn and `cycle` is set to true; otherwise it is false.
std::string dotGraph(const Pattern& pattern, const ItemTable* table, bool allEdges, bool* cycle);

}  // namespace tavrel::tools
