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

}  // namespace

void putJsonRecord(OutputSink* sink, const Pattern& pattern, const ItemTable* table) {
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
  sinkPut(sink, "]}\n");
}

void putCsvHeader(OutputSink* sink) { sinkPut(sink, "pattern,support,size,edges\n"); }

void putCsvRecord(OutputSink* sink, const Pattern& pattern, const ItemTable* table) {
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
  sinkPutChar(sink, '\n');
}

}  // namespace tavrel::tools
