// The frame the search starts from: the pattern that every string holds.
#pragma once

#include "search/search_frame.h"
#include "transactions/edge_database.h"

namespace tavrel {

// Makes `top` the frame of the edges that all of the database's strings
// hold: its candidates are the other edges that at least minSup strings
// hold, its strings the database's transactions in candidate numbers, made
// in the database's own memory (the database is left empty). Counts the
// candidates' pairs into shared.topPairs when there are few enough. False
// when memory ran out.
bool openTopFrame(EdgeDatabase& database, FrameData& top, SearchShared& shared);

}  // namespace tavrel
