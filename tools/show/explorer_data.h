// The data of the explorer page as one JSON object, which the page's
// script reads:
//   {"input":"patterns.txt","total":5,"chosen":5,"strings":6,
//    "crc32":"0badc0de","labels":{"0":"home",...},
//    "patterns":[[1,5,[0,1]],[3,4,[0,3]],...],
//    "cases":[[12,["case 1","case 2"]],...]}
// "total" counts the patterns in the miner's output, "chosen" those the
// options chose, "patterns" those on the page in ranking order: the
// number, the support and the edges as from, to, from, to, ... item
// numbers. "strings" and "crc32" are there when the item table holds the
// database's fingerprint, "labels" (the items of the page's patterns)
// when an item table is given, "cases" (per pattern: how many strings
// hold it and the names of the first kCaseNames) when they are known.
// Labels show control characters as \xNN. The text holds no '<', '>' or
// '&' (each is written \u003c, \u003e, \u0026), so that it cannot end
// the script element that holds it nor open a comment.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/item_table.h"
#include "show/pattern.h"

namespace tavrel::tools {

constexpr std::size_t kCaseNames = 50;

// The strings of the database that hold a pattern: how many, and the
// names of the first of them (at most kCaseNames are shown).
struct SupportingCases {
  long long count = 0;
  std::vector<std::string> names;
};

// The run's figures on the page.
struct ExplorerFigures {
  std::string input;  // the miner's output, by name
  long total = 0;     // patterns in the output
  long chosen = 0;    // patterns the options chose
};

// The JSON of the page for `ranking` (the page's patterns, in ranking
// order); `cases`, when given, holds the cases of each, in the same order.
std::string explorerJson(const ExplorerFigures& figures, const std::vector<Pattern>& ranking,
                         const ItemTable* table, const std::vector<SupportingCases>* cases);

// `json` with '<', '>' and '&' written as \u003c, \u003e and \u0026; it
// reads as the same JSON.
std::string scriptSafeJson(const std::string& json);

}  // namespace tavrel::tools
