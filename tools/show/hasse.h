// The Hasse diagram of a pattern: its transitive reduction. An edge a->c is
// left out when the pattern also leads from a to c through other items
// (a->b and b->c, say), since the picture shows that order already.
#pragma once

#include <vector>

#include "show/pattern.h"

namespace tavrel::tools {

// The distinct items that the edges join, ascending.
std::vector<int> itemsOf(const std::vector<Edge>& edges);

// Puts the edges that no path of two or more edges implies into `reduced`,
// in their order in `edges`. Returns 0, or -1 when the edges hold a cycle;
// `reduced` then holds all the edges.
int transitiveReduction(const std::vector<Edge>& edges, std::vector<Edge>* reduced);

}  // namespace tavrel::tools
