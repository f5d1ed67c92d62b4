// Where the search hands each closed pattern it finds, as edge numbers.
#pragma once

namespace tavrel {

class ClosedSetSink {
 public:
  virtual ~ClosedSetSink() = default;
  // Takes one closed pattern: `length` >= 1 edgeIds in ascending order and
  // the number of strings that hold them all. Patterns come in the search's
  // order. Returning false stops the search; it then ends as soon as it
  // can, with nothing more handed over.
  virtual bool take(const int* edges, int length, int support) = 0;
};

}  // namespace tavrel
