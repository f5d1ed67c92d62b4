// A frame's strings as row sets: when a level is cheaper to search that
// way, the base of a vertical run made from it, and the packed row sets
// that a sparse vertical frame takes over from its ancestor's base.
#pragma once

#include <cstddef>

#include "search/search_frame.h"

namespace tavrel {

// True when the level's strings are cheaper to search as row sets: the
// candidates' row sets, intersected pairwise, cost fewer word operations
// than delivering the transactions' items pairwise.
bool prefersVertical(const HorizontalLevel& level, int candidateCount);

// Turns the frame's horizontal level into a vertical base with one row per
// string: each candidate's and each witness bit's row set, and the frame's
// view of it (every row active). False when memory ran out.
bool makeVerticalBase(FrameData& frame);

// True when the child's rows, `rows` of them in `active` words, are so
// sparse that copying its row sets packed costs less than the words its
// steps would read in vain.
bool worthCompacting(const FrameData& child, std::size_t active, int rows,
                     const SearchShared& shared);

// Gives the child row sets of its own: one row per row of its pattern
// (rows of them), for each of its candidates and witnesses, packed in the
// order of the base's rows. The child becomes the base of its descendants.
// False when memory ran out.
bool compactRows(const VerticalBase& base, FrameData& child, std::size_t rows);

}  // namespace tavrel
