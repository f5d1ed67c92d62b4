#include "engine/option_checks.h"

#include <string>

namespace tavrel {

namespace {

Status invalid(std::string message) {
  return Status(Status::Code::kInvalidOptions, std::move(message) + "\n");
}

// The message for a min_sup, thread count or pattern limit out of range,
// or empty.
std::string checkSearchOptions(const MineOptions& options) {
  const SupportShare& share = options.minSupShare;
  bool shareGiven = share.numerator != 0;
  bool shareValid =
      share.numerator > 0 && share.denominator > 0 && share.numerator <= share.denominator;
  if ((shareGiven ? !shareValid : options.minSup < 1) || options.threads < 0 ||
      options.maxPatterns < 0) {
    return "min_sup must be at least 1 (or a share above 0 and at most 1), threads and "
           "max_patterns at least 0";
  }
  return "";
}

// The message for a condition out of range, or empty.
std::string checkConditions(const MineOptions& options) {
  if (options.minEdges < 0 || options.maxEdges < 0) {
    return "the bounds on a pattern's edges must be at least 1 (0: no bound)";
  }
  if (options.maxEdges > 0 && options.minEdges > options.maxEdges) {
    return "the least number of edges (" + std::to_string(options.minEdges) +
           ") is above the most (" + std::to_string(options.maxEdges) + ")";
  }
  if (options.top < 0) return "top must be at least 1 (0: every pattern)";
  if (options.items.size() > kMostConditionItems) {
    return "at most " + std::to_string(kMostConditionItems) + " items may be required; got " +
           std::to_string(options.items.size());
  }
  for (int item : options.items) {
    if (item < 0) return "item numbers are 0 or more; got " + std::to_string(item);
  }
  return "";
}

}  // namespace

Status checkOptions(const MineOptions& options) {
  std::string message = checkSearchOptions(options);
  if (message.empty()) message = checkConditions(options);
  return message.empty() ? Status() : invalid(message);
}

Status checkConditionItems(const MineOptions& options, int totalItems) {
  for (int item : options.items) {
    if (item >= totalItems) {
      return invalid("item " + std::to_string(item) +
                     " is not in the database, whose items are 0 to " +
                     std::to_string(totalItems - 1));
    }
  }
  return Status();
}

}  // namespace tavrel
