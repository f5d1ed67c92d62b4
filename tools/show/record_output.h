// One record per pattern for data tools: JSON Lines and CSV. Items appear
// as their labels (strings) when an item table is given, as numbers
// otherwise.
//   JSON: {"pattern":2,"support":2,"size":3,"edges":[["a","b"],...]}
//   CSV:  pattern,support,size,edges  with edges as "a->b; c->d"
#pragma once

#include "common/item_table.h"
#include "common/output_sink.h"
#include "show/pattern.h"

namespace tavrel::tools {

// Writes the pattern as one JSON object on one line.
void putJsonRecord(OutputSink* sink, const Pattern& pattern, const ItemTable* table);

// Writes the CSV header line.
void putCsvHeader(OutputSink* sink);

// Writes the pattern as one CSV record (one line unless a label holds a
// line end, which stays inside the quoted field).
void putCsvRecord(OutputSink* sink, const Pattern& pattern, const ItemTable* table);

}  // namespace tavrel::tools
