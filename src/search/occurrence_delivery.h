// Occurrence delivery: handing a horizontal frame's loop, candidate by
// candidate, the transactions that hold the candidate (see Buckets and
// OccurrenceLists in search_frame.h for the two ways it is done).
#pragma once

#include <cstddef>

#include "search/search_frame.h"

namespace tavrel {

// Makes `lists` (see OccurrenceLists) for the level when they take at most
// `mostBytes`, on up to `threads` threads (the same lists on any number);
// leaves lists.made false otherwise. False when memory ran out.
bool listOccurrences(const HorizontalLevel& level, int candidateCount, std::size_t mostBytes,
                     int threads, OccurrenceLists& lists);

// Starts delivering the level's transactions to the candidates from `from`
// on: from `lists` when given and made, otherwise by putting every
// transaction in the bucket of its first item that is `from` or later
// (none when it has no such item). False when memory ran out.
bool startDelivery(const HorizontalLevel& level, int candidateCount, int from,
                   const OccurrenceLists* lists, Buckets& buckets);

// Moves every transaction of `bucket` on to the bucket of its next item,
// once the loop is done with that candidate.
void advanceBucket(const HorizontalLevel& level, Buckets& buckets, int bucket);

// Lists the transactions of `bucket` in scratch.occurrence, with where
// their items after the bucket's candidate begin and end and their weights,
// and moves them on as advanceBucket() does, in one walk of the bucket
// (noted in buckets.taken). Returns their number, or -1 when memory ran out
// (then nothing has moved).
long takeBucket(const HorizontalLevel& level, Buckets& buckets, int bucket, SearchScratch& scratch);

}  // namespace tavrel
