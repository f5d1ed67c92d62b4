// One record per pattern for data tools: JSON Lines and CSV. Items appear
// as their labels (strings) when an item table is given, as numbers
// otherwise.
//   JSON: {"pattern":2,"support":2,"size":3,"edges":[["a","b"],...]}
//   CSV:  pattern,support,size,edges  with edges as "a->b; c->d"
// With --strings, the strings that hold the pattern follow: in JSON a
// field "strings" (case ids as strings, line numbers as numbers), in CSV a
// column strings ("c1; c2; c7").
#pragma once

#include <vector>

#include "common/item_table.h"
#include "common/output_sink.h"
#include "show/pattern.h"
#include "show/pattern_strings.h"

namespace tavrel::tools {

// The strings that hold one pattern: database lines from 0, named as
// `source` names them.
struct StringsOfPattern {
  const StringsSource* source = nullptr;
  const std::vector<int>* lines = nullptr;
};

// Writes the pattern as one JSON object on one line.
void putJsonRecord(OutputSink* sink, const Pattern& pattern, const ItemTable* table,
                   const StringsOfPattern* strings = nullptr);

// Writes the CSV header line, with the strings column when `strings`.
void putCsvHeader(OutputSink* sink, bool strings = false);

// Writes the pattern as one CSV record (one line unless a label holds a
// line end, which stays inside the quoted field).
void putCsvRecord(OutputSink* sink, const Pattern& pattern, const ItemTable* table,
                  const StringsOfPattern* strings = nullptr);

}  // namespace tavrel::tools
