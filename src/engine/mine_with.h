// mine() with the search handed in: the passes, the sink's start and the
// patterns' way to the sink stay mine()'s own, while another search (one
// spread over several processes) takes the edge transactions.
#pragma once

#include <atomic>
#include <functional>

#include "search/closed_search.h"
#include "tavrel/tavrel.h"
#include "transactions/edge_database.h"

namespace tavrel {

// Searches the database (taking it over) for the closed patterns of at
// least minSup strings and hands them to the sink in the order of
// searchClosed(), with `threads` threads (at least 1), handing over only
// the patterns that pass `conditions` when given; stops soon once
// `stop` (when given) becomes true, and keeps `progress` (when given) up to
// date as far as it can.
using SearchRunner = std::function<SearchOutcome(
    EdgeDatabase& database, int minSup, int threads, ClosedSetSink& sink,
    const SearchConditions* conditions, const std::atomic<bool>* stop, RunProgress* progress)>;

// The search of mine(): on several threads when there are several, on the
// calling thread otherwise.
SearchOutcome searchHere(EdgeDatabase& database, int minSup, int threads, ClosedSetSink& sink,
                         const SearchConditions* conditions, const std::atomic<bool>* stop,
                         RunProgress* progress);

// mine(), searching with `search`. A failed search ends the run with
// Status::Code::kSearchFailed and the message "Error: a search process
// failed".
Status mineWith(const StringSource& source, const MineOptions& options, PatternSink& sink,
                const SearchRunner& search);

}  // namespace tavrel
