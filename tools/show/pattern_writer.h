// The output formats of tavrel-show as writers that take the chosen
// patterns one at a time, in the order they are to be shown, so that an
// output of any size passes through in constant memory.
#pragma once

#include <string>

#include "base/result.h"
#include "common/item_table.h"
#include "common/output_sink.h"
#include "show/pattern.h"
#include "show/pattern_strings.h"

namespace tavrel::tools {

// What every writer may need besides the patterns.
struct ShowContext {
  OutputSink* out = nullptr;         // standard output
  const ItemTable* table = nullptr;  // nullptr: items are shown as numbers
  bool allEdges = false;             // pictures: every edge, not the Hasse diagram
  std::string outputDir;             // pictures: one file per pattern here; empty: standard output
  bool picturesChosen = false;       // --top or --pattern chose the patterns to draw
  const StringsSource* strings = nullptr;  // --strings: the database; nullptr: not asked
};

class PatternWriter {
 public:
  virtual ~PatternWriter() = default;
  // Takes one chosen pattern; fails with a message.
  virtual Result add(const Pattern& pattern) = 0;
  // Completes the output once every chosen pattern is in; `total` is the
  // number of patterns in the miner's output. Fails with a message.
  virtual Result finish(long total) = 0;
};

}  // namespace tavrel::tools
