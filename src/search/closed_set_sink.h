// Where the search hands each closed pattern it finds, as edge numbers.
#pragma once

#include <cstddef>

namespace tavrel {

class ClosedSetSink {
 public:
  virtual ~ClosedSetSink() = default;
  // Takes one closed pattern: `length` >= 1 edgeIds in ascending order and
  // the number of strings that hold them all. Patterns come in the search's
  // order. Returning false stops the search; it then ends as soon as it
  // can, with nothing more handed over.
  virtual bool take(const int* edges, int length, int support) = 0;

  // A sink may have its patterns made into text where they are found (see
  // PatternSink::textBound()): the most bytes a pattern of `length` edges
  // takes (0: no text), the text (from any thread; kTextFailed when memory
  // ran out on the way), and the text handed over in order in place of
  // take().
  static constexpr std::size_t kTextFailed = static_cast<std::size_t>(-1);
  virtual std::size_t textBound(int length) const {
    (void)length;
    return 0;
  }
  virtual std::size_t writeText(const int* edges, int length, int support, char* out) const {
    (void)edges;
    (void)length;
    (void)support;
    (void)out;
    return 0;
  }
  virtual bool takeText(const char* text, std::size_t size) {
    (void)text;
    (void)size;
    return true;
  }
};

}  // namespace tavrel
