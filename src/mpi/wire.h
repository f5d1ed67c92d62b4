// The messages of a search spread over several processes. Every message is
// an array of ints whose first int is its kind; a unit of work travels as
// its id, its range and then its path.
#pragma once

#include <cstddef>
#include <vector>

#include "parallel/parallel_search.h"
#include "search/search_conditions.h"

namespace tavrel::mpi {

// Tags: workers speak to rank 0 on one tag and rank 0 to each worker on
// another, so that each direction keeps its messages in the order sent.
constexpr int kToCoordinator = 1;
constexpr int kToWorker = 2;

enum Kind : int {
  // To rank 0.
  // unit id, then pattern records (parallel/pattern_records.h): support,
  // edge count, edges; or the mark of where a piece's patterns belong
  kPatterns = 1,
  kGiven = 2,    // a piece given away: id, start, end, path
  kDone = 3,     // unit id, SearchOutcome as an int
  kAlive = 4,    // nothing new; the sender is alive
  kSignal = 5,   // a signal stopped the sender: its number
  kBye = 6,      // the worker has stopped: microseconds it spent sending, its peak
                 // memory in kB; it sends nothing more in this run
  kGarbled = 7,  // a message from rank 0 did not decode: its kind
  // To the workers.
  kDatabase = 11,  // the database follows by broadcast: see broadcastDatabase()
  kUnit = 12,      // a unit to search: id, start, end, path
  kWant = 13,      // give away a piece of the unit being searched
  kStop = 14,      // stop searching; send nothing but kBye
  kEnd = 15,       // the run is over: exit status, and the signal to end by (or 0)
  kHold = 16,      // too many patterns wait at rank 0: send no further block for now
  kRelease = 17,   // send blocks again
};

// The message that describes unit `id` of kind kGiven or kUnit.
std::vector<int> unitMessage(int kind, int id, const parallel::WorkUnit& unit);

// Reads a kGiven or kUnit message; false when it is malformed (too short,
// a negative id, start or path step, or an empty range).
bool readUnit(const std::vector<int>& message, int* id, parallel::WorkUnit* unit);

// What is wrong with the form of a message to rank 0 whose patterns may
// name edges 0 to edgeCount - 1: null when nothing is, otherwise a short
// description. A message that passes may still not fit the run (a unit
// its sender does not search): the coordinator checks that.
const char* flawToCoordinator(const std::vector<int>& message, int edgeCount);
// The same for a message to a worker.
const char* flawToWorker(const std::vector<int>& message);

// A unit's place in the output order: its path, then its first candidate.
// Units of one search compare like their patterns.
std::vector<int> orderKey(const parallel::WorkUnit& unit);

// The kDatabase message's first ints (see databaseHeader()); the search's
// conditions follow them: minEdges, maxEdges, maximal, the two halves of
// allItems, the number of edges that involve an item asked for, and per
// such edge its edgeId and the two halves of its item bits. A top k's
// least support stays on rank 0.
constexpr std::size_t kDatabaseHeaderInts = 10;
void appendConditions(const SearchConditions* conditions, int edgeCount, std::vector<int>* message);
// Reads the conditions after the header of a kDatabase message; false when
// that part is malformed (then `conditions` is not to be used).
bool readConditions(const std::vector<int>& message, SearchConditions* conditions);

}  // namespace tavrel::mpi
