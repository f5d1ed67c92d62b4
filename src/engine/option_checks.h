// The checks of a run's options: those that need nothing read, and the
// item numbers of the conditions, once the run knows its items.
#pragma once

#include "tavrel/tavrel.h"

namespace tavrel {

// Status::Code::kInvalidOptions with a message that names the first option
// out of range, or kOk.
Status checkOptions(const MineOptions& options);

// kInvalidOptions when an item of options.items is not an item number of
// a database with `totalItems` items (0 .. totalItems - 1), else kOk.
Status checkConditionItems(const MineOptions& options, int totalItems);

}  // namespace tavrel
