// The messages between the ranks, damaged: the decoder names every flaw,
// and the coordinator ends the run on a message that does not decode or
// does not fit it, instead of dropping it and waiting for what it
// announced. No MPI call is made: the coordinator is fed by hand.
#include "mpi/wire.h"

#include <gtest/gtest.h>

#include <vector>

#include "mpi/coordinator.h"

namespace tavrel::mpi {
namespace {

using Message = std::vector<int>;

TEST(MpiWireTest, DamagedMessagesToRankZeroAreNamed) {
  const int edges = 10;
  std::vector<Message> whole = {
      {kPatterns, 0},
      {kPatterns, 3, 5, 2, 1, 7, 0, 1, 4, 2, 1, 9},  // a pattern, a piece's place, a pattern
      {kGiven, 4, 0, 3},
      {kGiven, 4, 1, 3, 0, 2},
      {kDone, 3, static_cast<int>(SearchOutcome::kComplete)},
      {kDone, -1, static_cast<int>(SearchOutcome::kOutOfMemory)},
      {kAlive},
      {kSignal, 2},
      {kBye, 10, 2000},
  };
  for (const Message& message : whole) {
    EXPECT_EQ(flawToCoordinator(message, edges), nullptr) << message[0] << " " << message.size();
  }
  std::vector<Message> damaged = {
      {},
      {99},
      {kPatterns},
      {kPatterns, -1},
      {kPatterns, 3, 5},           // a record cut after its support
      {kPatterns, 3, 5, 4, 1, 2},  // runs past the end
      {kPatterns, 3, 5, 0},        // no edges
      {kPatterns, 3, -5, 1, 1},    // negative support
      {kPatterns, 3, 5, 1, 10},    // an edge past the last
      {kPatterns, 3, 5, 1, -1},    // a negative edge
      {kPatterns, 3, 5, 2, 4, 4},  // edges not ascending
      {kPatterns, 3, 0, 2, 4, 5},  // a piece's place of two ids
      {kPatterns, 3, 0, 1, 0},     // a piece's place of id 0
      {kGiven},                    // empty
      {kGiven, 4, 3},              // no end
      {kGiven, 4, 3, 3},           // an empty range
      {kGiven, 4, -1, 3},          // a negative start
      {kGiven, 0, 0, 3},           // the first unit's id
      {kGiven, -4, 0, 3},          // a negative id
      {kGiven, 4, 0, 3, 1, -2},    // a negative step in the path
      {kDone, 3},                  // no outcome
      {kDone, 3, 99},              // an outcome that does not exist
      {kDone, 3, 0, 0},            // too long
      {kAlive, 1},
      {kSignal},
      {kSignal, 0},
      {kGarbled, kUnit},
  };
  for (const Message& message : damaged) {
    EXPECT_NE(flawToCoordinator(message, edges), nullptr)
        << (message.empty() ? -1 : message[0]) << " " << message.size();
  }
}

TEST(MpiWireTest, DamagedMessagesToWorkersAreNamed) {
  // The database header is followed by the conditions: none, or at most 3
  // edges, maximal, and edge 2 involving the one item asked for.
  std::vector<Message> whole = {
      {kDatabase, 5, 9, 2, 1, 9, 30, 0, 0, 16384, 0, 0, 0, 0, 0, 0},
      {kDatabase, 5, 9, 2, 1, 9, 30, 0, 0, 16384, 0, 3, 1, 1, 0, 1, 2, 1, 0},
      {kUnit, 0, 0, 4},
      {kUnit, 7, 1, 2, 3},
      {kWant},
      {kStop},
      {kHold},
      {kRelease},
      {kAlive},
      {kEnd, 0, 0}};
  for (const Message& message : whole) EXPECT_EQ(flawToWorker(message), nullptr) << message[0];
  std::vector<Message> damaged = {
      {kDatabase, 5, 9, 2, 1, 9, 30, 0, 0, 16384},                    // no conditions
      {kDatabase, 5, 9, 2, 1, 9, 30, 0, 0, 16384, 0, 0, 2, 0, 0, 0},  // maximal must be 0 or 1
      {kDatabase, 5, 9, 2, 1, 9, 30, 0, 0, 16384, 0, 0, 0, 1, 0, 1, 7, 1, 0},  // edge 7 of 5
      {kDatabase, 5, 9, 2, 1, 9, 30, 0, 0, 16384, 0, 0, 0, 1, 0, 2, 1, 1, 0},  // one edge short
      {},
      {kDatabase, 5},
      {kUnit, 0, 4, 4},
      {kUnit, 0, 0},
      {kWant, 1},
      {kEnd},
      {kEnd, 0},
      {kPatterns, 0},
      {kUnit, -1, 0, 4}};
  for (const Message& message : damaged) {
    EXPECT_NE(flawToWorker(message), nullptr) << (message.empty() ? -1 : message[0]);
  }
}

// A coordinator of 3 ranks before its run: no rank searches anything yet.
// Each damaged message ends the run and names the sender and the flaw.
TEST(MpiWireTest, TheCoordinatorStopsOnAMessageThatDoesNotDecodeOrFit) {
  std::vector<Message> wrong = {
      {kGiven, 4, 3, 3},        // malformed: an empty range
      {kGiven, 4, 0, 3},        // well formed, but rank 1 searches nothing to give from
      {kPatterns, 5, 5, 1, 0},  // a unit rank 1 does not search
      {kDone, 2, static_cast<int>(SearchOutcome::kComplete)},  // likewise
      {kGarbled, kUnit},
      {42},
  };
  for (Message message : wrong) {
    Coordinator coordinator(Session{0, 3, false}, CoordinatorOptions{});
    int kind = message.empty() ? -1 : message[0];
    EXPECT_FALSE(coordinator.handle(1, message)) << kind;
    EXPECT_EQ(coordinator.failedRank(), 1) << kind;
    EXPECT_FALSE(coordinator.problem().empty()) << kind;
  }
  Coordinator coordinator(Session{0, 3, false}, CoordinatorOptions{});
  Message alive{kAlive};
  Message bye{kBye, 0, 1000};
  EXPECT_TRUE(coordinator.handle(2, alive));
  EXPECT_TRUE(coordinator.handle(2, bye));
  EXPECT_TRUE(coordinator.problem().empty());
  Message stray{kAlive};
  EXPECT_FALSE(coordinator.handle(3, stray));  // rank 3 is not in the job
}

}  // namespace
}  // namespace tavrel::mpi
