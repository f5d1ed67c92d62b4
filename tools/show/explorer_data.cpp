#include "show/explorer_data.h"

#include <cstdio>
#include <set>

#include "show/text_escape.h"

namespace tavrel::tools {

namespace {

// A label as JSON: valid UTF-8, control characters other than a tab as
// \xNN, as the other pages of tavrel-show show them.
std::string labelJson(const std::string& label) {
  return jsonString(visibleControls(validUtf8(label), "\t"));
}

// "labels":{...} for every item of `ranking` that `table` names.
std::string labelsJson(const std::vector<Pattern>& ranking, const ItemTable& table) {
  std::set<int> items;
  for (const Pattern& pattern : ranking) {
    for (const Edge& edge : pattern.edges) {
      items.insert(edge.from);
      items.insert(edge.to);
    }
  }
  std::string json = ",\"labels\":{";
  bool first = true;
  for (int item : items) {
    const std::string* label = findLabel(table, item);
    if (label == nullptr) continue;
    if (!first) json += ',';
    first = false;
    json += '"' + std::to_string(item) + "\":" + labelJson(*label);
  }
  return json + '}';
}

// [number,support,[from,to,...]]
void appendPattern(const Pattern& pattern, std::string* json) {
  *json += '[' + std::to_string(pattern.number) + ',' + std::to_string(pattern.support) + ",[";
  for (std::size_t k = 0; k < pattern.edges.size(); ++k) {
    if (k > 0) *json += ',';
    *json += std::to_string(pattern.edges[k].from) + ',' + std::to_string(pattern.edges[k].to);
  }
  *json += "]]";
}

// ,"cases":[[count,[names]],...]
void appendCases(const std::vector<SupportingCases>& cases, std::string* json) {
  *json += ",\"cases\":[";
  for (std::size_t k = 0; k < cases.size(); ++k) {
    if (k > 0) *json += ',';
    *json += '[' + std::to_string(cases[k].count) + ",[";
    for (std::size_t n = 0; n < cases[k].names.size() && n < kCaseNames; ++n) {
      if (n > 0) *json += ',';
      *json += labelJson(cases[k].names[n]);
    }
    *json += "]]";
  }
  *json += ']';
}

}  // namespace

std::string explorerJson(const ExplorerFigures& figures, const std::vector<Pattern>& ranking,
                         const ItemTable* table, const std::vector<SupportingCases>* cases) {
  std::string json = "{\"input\":" + labelJson(figures.input) +
                     ",\"total\":" + std::to_string(figures.total) +
                     ",\"chosen\":" + std::to_string(figures.chosen);
  if (table != nullptr && table->fingerprint) {
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(table->fingerprint->crc32));
    json +=
        ",\"strings\":" + std::to_string(table->fingerprint->strings) + ",\"crc32\":\"" + crc + '"';
  }
  if (table != nullptr) json += labelsJson(ranking, *table);
  json += ",\"patterns\":[";
  for (std::size_t k = 0; k < ranking.size(); ++k) {
    if (k > 0) json += ',';
    appendPattern(ranking[k], &json);
  }
  json += ']';
  if (cases != nullptr) appendCases(*cases, &json);
  return json + '}';
}

std::string scriptSafeJson(const std::string& json) {
  std::string safe;
  safe.reserve(json.size());
  for (char c : json) {
    if (c == '<') {
      safe += "\\u003c";
    } else if (c == '>') {
      safe += "\\u003e";
    } else if (c == '&') {
      safe += "\\u0026";
    } else {
      safe += c;
    }
  }
  return safe;
}

}  // namespace tavrel::tools
