#include "mpi/wire.h"

#include "parallel/pattern_records.h"

namespace tavrel::mpi {

std::vector<int> unitMessage(int kind, int id, const parallel::WorkUnit& unit) {
  std::vector<int> message{kind, id, unit.start, unit.end};
  message.insert(message.end(), unit.path.begin(), unit.path.end());
  return message;
}

bool readUnit(const std::vector<int>& message, int* id, parallel::WorkUnit* unit) {
  if (message.size() < 4) return false;
  *id = message[1];
  unit->start = message[2];
  unit->end = message[3];
  unit->path.assign(message.begin() + 4, message.end());
  for (int step : unit->path) {
    if (step < 0) return false;
  }
  return *id >= 0 && unit->start >= 0 && unit->start < unit->end;
}

namespace {

// The flaw of a kPatterns message's records (parallel/pattern_records.h):
// support, edge count, edges; or the mark of a piece's place.
const char* flawOfRecords(const std::vector<int>& message, int edgeCount) {
  std::size_t at = 2;
  while (at < message.size()) {
    if (message.size() - at < 2) return "a pattern record is cut short";
    int support = message[at];
    int length = message[at + 1];
    at += 2;
    if (support < 0 || length < 1) return "a pattern record has a negative support or no edges";
    if (static_cast<std::size_t>(length) > message.size() - at) {
      return "a pattern record runs past the message";
    }
    if (support == parallel::kPieceSupport) {
      if (length != 1 || message[at] < 1) return "a piece's place is malformed";
    } else {
      for (int e = 0; e < length; ++e) {
        if (message[at + e] < 0 || message[at + e] >= edgeCount) {
          return "a pattern names an edge that does not exist";
        }
        if (e > 0 && message[at + e] <= message[at + e - 1]) {
          return "a pattern's edges are out of order";
        }
      }
    }
    at += static_cast<std::size_t>(length);
  }
  return nullptr;
}

}  // namespace

const char* flawToCoordinator(const std::vector<int>& message, int edgeCount) {
  if (message.empty()) return "an empty message";
  int id = 0;
  parallel::WorkUnit unit;
  std::size_t size = message.size();
  switch (message[0]) {
    case kPatterns:
      if (size < 2 || message[1] < 0) return "a block of patterns without its unit";
      return flawOfRecords(message, edgeCount);
    case kGiven:
      return readUnit(message, &id, &unit) && id > 0 ? nullptr : "a malformed piece given away";
    case kDone:
      if (size != 3 || message[1] < -1 || message[2] < 0 ||
          message[2] > static_cast<int>(SearchOutcome::kFailed)) {
        return "a malformed end of a unit";
      }
      return nullptr;
    case kAlive:
      return size == 1 ? nullptr : "a malformed sign of life";
    case kSignal:
      return size == 2 && message[1] > 0 && message[1] < 65 ? nullptr : "a malformed signal";
    case kBye:
      return size >= 1 && size <= 3 ? nullptr : "a malformed last word";
    case kGarbled:
      return "rank 0's message did not decode there";
    default:
      return "a message of an unknown kind";
  }
}

const char* flawToWorker(const std::vector<int>& message) {
  if (message.empty()) return "an empty message";
  int id = 0;
  parallel::WorkUnit unit;
  std::size_t size = message.size();
  switch (message[0]) {
    case kDatabase: {
      SearchConditions conditions;
      return size >= kDatabaseHeaderInts && message[1] >= 0 && message[5] >= 0 &&
                     readConditions(message, &conditions)
                 ? nullptr
                 : "a malformed database";
    }
    case kUnit:
      return readUnit(message, &id, &unit) ? nullptr : "a malformed unit";
    case kWant:
    case kStop:
    case kHold:
    case kRelease:
    case kAlive:
      return size == 1 ? nullptr : "a malformed request";
    case kEnd:
      return size == 3 ? nullptr : "a malformed end";
    default:
      return "a message of an unknown kind";
  }
}

std::vector<int> orderKey(const parallel::WorkUnit& unit) {
  std::vector<int> key = unit.path;
  key.push_back(unit.start);
  return key;
}

void appendConditions(const SearchConditions* conditions, int edgeCount,
                      std::vector<int>* message) {
  SearchConditions none;
  const SearchConditions& given = conditions != nullptr ? *conditions : none;
  auto low = [](std::uint64_t bits) { return static_cast<int>(static_cast<std::uint32_t>(bits)); };
  auto high = [](std::uint64_t bits) {
    return static_cast<int>(static_cast<std::uint32_t>(bits >> 32));
  };
  message->insert(message->end(), {given.minEdges, given.maxEdges, given.maximal ? 1 : 0,
                                   low(given.allItems), high(given.allItems), 0});
  std::size_t countAt = message->size() - 1;
  int count = 0;
  for (int e = 0; e < edgeCount && given.allItems != 0; ++e) {
    std::uint64_t bits = given.itemBits[static_cast<std::size_t>(e)];
    if (bits == 0) continue;
    message->insert(message->end(), {e, low(bits), high(bits)});
    ++count;
  }
  (*message)[countAt] = count;
}

bool readConditions(const std::vector<int>& message, SearchConditions* conditions) {
  constexpr std::size_t kFixed = kDatabaseHeaderInts + 6;
  if (message.size() < kFixed) return false;
  const int* at = message.data() + kDatabaseHeaderInts;
  auto bits = [](int low, int high) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(low)) |
           static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32;
  };
  int edgeCount = message[1];
  int count = at[5];
  if (at[0] < 0 || at[1] < 0 || (at[2] != 0 && at[2] != 1) || count < 0 || count > edgeCount ||
      message.size() != kFixed + 3 * static_cast<std::size_t>(count)) {
    return false;
  }
  conditions->minEdges = at[0];
  conditions->maxEdges = at[1];
  conditions->maximal = at[2] == 1;
  conditions->allItems = bits(at[3], at[4]);
  conditions->itemBits.assign(conditions->allItems != 0 ? static_cast<std::size_t>(edgeCount) : 0,
                              0);
  for (int k = 0; k < count; ++k) {
    const int* edge = at + 6 + 3 * k;
    if (edge[0] < 0 || edge[0] >= edgeCount || conditions->allItems == 0) return false;
    conditions->itemBits[static_cast<std::size_t>(edge[0])] = bits(edge[1], edge[2]);
  }
  return true;
}

}  // namespace tavrel::mpi
