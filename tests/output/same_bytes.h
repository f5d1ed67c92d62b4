// A comparison of long outputs that reports where they first differ
// instead of a diff of megabytes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tavrel::output {

inline ::testing::AssertionResult sameBytes(const std::string& actual,
                                            const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t at = static_cast<std::size_t>(
      std::mismatch(
          actual.begin(),
          actual.begin() + static_cast<std::ptrdiff_t>(std::min(actual.size(), expected.size())),
          expected.begin())
          .first -
      actual.begin());
  std::size_t from = at < 40 ? 0 : at - 40;
  return ::testing::AssertionFailure()
         << actual.size() << " bytes where " << expected.size() << " were expected, first "
         << "difference at byte " << at
         << ":\n  actual:   " << ::testing::PrintToString(actual.substr(from, 80))
         << "\n  expected: " << ::testing::PrintToString(expected.substr(from, 80));
}

}  // namespace tavrel::output
