// The explorer: one self-contained HTML page to work with the patterns.
// It holds the run's figures, two charts (patterns by support and by
// number of edges), filters (item labels, a support range, an edge-count
// range) that the charts and the table follow, a table of the patterns
// that sorts on every column and draws only the rows in view, and a pane
// for the selected pattern: its Hasse diagram, its edges and, when given,
// the strings that hold it. The data is JSON in the page (see
// explorer_data.h); the script and style are explorer.js and
// explorer.css, built into the program. The page needs no other file
// and no network.
//
// The page holds the patterns of highest support only: up to
// kHtmlTableRows (or the k of --top); the first kHtmlPictures of them get
// a picture drawn through Graphviz's library, the page's script draws the
// others. Memory stays bounded however large the output.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "show/explorer_data.h"
#include "show/pattern_writer.h"

namespace tavrel::tools {

constexpr std::size_t kHtmlTableRows = 100000;
constexpr std::size_t kHtmlPictures = 100;

// Where the page's cases come from (--strings): fills `cases` with one
// entry per pattern of `patterns`, in their order. It is called once, with
// every pattern of the page. Fails with a message.
using CaseSource =
    std::function<Result(std::span<const Pattern> patterns, std::vector<SupportingCases>* cases)>;

// A writer of the page about `inputName`, whose table holds at most
// `tableRows` patterns. `cases`, when set, gives the strings that hold
// each pattern of the page; unset, the page shows no cases.
std::unique_ptr<PatternWriter> makeHtmlWriter(const ShowContext& context,
                                              const std::string& inputName, std::size_t tableRows,
                                              CaseSource cases = {});

}  // namespace tavrel::tools
