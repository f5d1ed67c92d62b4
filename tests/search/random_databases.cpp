#include "search/random_databases.h"

#include <algorithm>
#include <numeric>

namespace tavrel::testing {

using Strings = std::vector<std::vector<int>>;

namespace {

// A random subset of `order`, kept in the order's order.
std::vector<int> subsequence(const std::vector<int>& order, std::mt19937& random) {
  std::vector<int> kept;
  std::bernoulli_distribution keep(0.6);
  for (int item : order) {
    if (keep(random)) kept.push_back(item);
  }
  if (kept.empty()) kept.push_back(order[random() % order.size()]);
  return kept;
}

}  // namespace

Strings randomDatabase(int shape, std::mt19937& random) {
  int items = shape == 2 ? 2 + static_cast<int>(random() % 3) : 3 + static_cast<int>(random() % 7);
  int count = 1 + static_cast<int>(random() % 12);
  std::vector<int> all(items);
  std::iota(all.begin(), all.end(), 0);
  std::vector<std::vector<int>> orders;
  for (int k = 0; k < 3; ++k) {
    std::shuffle(all.begin(), all.end(), random);
    orders.push_back(all);
  }
  Strings strings;
  for (int s = 0; s < count; ++s) {
    std::vector<int> string;
    if (shape == 0 || shape == 2) {
      std::shuffle(all.begin(), all.end(), random);
      string = subsequence(all, random);
    } else {
      string = subsequence(orders[random() % (shape == 1 ? orders.size() : 1)], random);
      if (string.size() > 1 && random() % 4 == 0) {
        std::size_t at = random() % (string.size() - 1);
        std::swap(string[at], string[at + 1]);
      }
    }
    if (shape == 3 && !strings.empty() && random() % 2 == 0)
      string = strings[random() % strings.size()];
    strings.push_back(string);
  }
  return strings;
}

}  // namespace tavrel::testing
