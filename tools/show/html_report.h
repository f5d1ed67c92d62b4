// The report as one self-contained HTML page: the summary, pictures of the
// patterns of highest support drawn inline as SVG, and a table of the
// patterns (number, support, share of the strings when the item table
// knows it, number of edges, the edges with labels) that sorts by any
// column when its header is clicked. The page needs no other file and no
// network; its script only sorts the table, and on opening puts it in
// ranking order.
//
// The page holds the patterns of highest support only: all of them up to
// kHtmlTableRows (or the k of --top), of which the first kHtmlPictures get
// a picture; the summary counts every chosen pattern. Memory stays bounded
// however large the output.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "show/pattern_writer.h"

namespace tavrel::tools {

constexpr std::size_t kHtmlTableRows = 1000;
constexpr std::size_t kHtmlPictures = 10;

// A writer of the page about `inputName`, whose table holds at most
// `tableRows` patterns.
std::unique_ptr<PatternWriter> makeHtmlWriter(const ShowContext& context,
                                              const std::string& inputName, std::size_t tableRows);

}  // namespace tavrel::tools
