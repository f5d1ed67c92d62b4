// The random string databases of the property tests.
#pragma once

#include <random>
#include <vector>

namespace tavrel::testing {

// A database of 1 to 12 strings over a few items (below 10) in one of four
// shapes: random permutations (0), strings drawn from a few hidden orders
// with noise (1), tiny alphabets (2), and duplicates of earlier strings (3).
std::vector<std::vector<int>> randomDatabase(int shape, std::mt19937& random);

}  // namespace tavrel::testing
