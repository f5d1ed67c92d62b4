#include "show/record_output.h"

#include "show/text_escape.h"

namespace tavrel::tools {

namespace {

void putJsonItem(OutputSink* sink, int item, const ItemTable* table) {
  if (table == nullptr) {
    sinkPutInt(sink, item);
  } else {
    sinkPut(sink, jsonString(labelOrNumber(table, item)));
  }
}

// The JSON array of the strings: case ids as strings, line numbers as
// numbers.
void putJsonStrings(OutputSink* sink, const StringsOfPattern& strings) {
  sinkPut(sink, ",\"strings\":[");
  bool first = true;
  for (int line : *strings.lines) {
    if (!first) sinkPutChar(sink, ',');
    first = false;
    if (strings.source->cases) {
      sinkPut(sink, jsonString(stringId(*strings.source, line)));
    } else {
      sinkPutInt(sink, line + 1);
    }
  }
  sinkPutChar(sink, ']');
}

}  // namespace

void putJsonRecord(OutputSink* sink, const Pattern& pattern, const ItemTable* table,
                   const StringsOfPattern* strings) {
  sinkPut(sink, "{\"pattern\":");
  sinkPutInt(sink, pattern.number);
  sinkPut(sink, ",\"support\":");
  sinkPutInt(sink, pattern.support);
  sinkPut(sink, ",\"size\":");
  sinkPutInt(sink, static_cast<long long>(pattern.edges.size()));
  sinkPut(sink, ",\"edges\":[");
  for (std::size_t k = 0; k < pattern.edges.size(); ++k) {
    sinkPut(sink, k == 0 ? "[" : ",[");
    putJsonItem(sink, pattern.edges[k].from, table);
    sinkPutChar(sink, ',');
    putJsonItem(sink, pattern.edges[k].to, table);
    sinkPutChar(sink, ']');
  }
  sinkPutChar(sink, ']');
  if (strings != nullptr) putJsonStrings(sink, *strings);
  sinkPut(sink, "}\n");
}

void putCsvHeader(OutputSink* sink, bool strings) {
  sinkPut(sink, strings ? "pattern,support,size,edges,strings\n" : "pattern,support,size,edges\n");
}

void putCsvRecord(OutputSink* sink, const Pattern& pattern, const ItemTable* table,
                  const StringsOfPattern* strings) {
  std::string edges;
  for (std::size_t k = 0; k < pattern.edges.size(); ++k) {
    if (k > 0) edges += "; ";
    edges += labelOrNumber(table, pattern.edges[k].from);
    edges += "->";
    edges += labelOrNumber(table, pattern.edges[k].to);
  }
  sinkPutInt(sink, pattern.number);
  sinkPutChar(sink, ',');
  sinkPutInt(sink, pattern.support);
  sinkPutChar(sink, ',');
  sinkPutInt(sink, static_cast<long long>(pattern.edges.size()));
  sinkPutChar(sink, ',');
  sinkPut(sink, csvField(edges));
  if (strings != nullptr) {
    std::string ids;
    for (int line : *strings->lines) {
      if (!ids.empty()) ids += "; ";
      ids += stringId(*strings->source, line);
    }
    sinkPutChar(sink, ',');
    sinkPut(sink, csvField(ids));
  }
  sinkPutChar(sink, '\n');
}

}  // namespace tavrel::tools
