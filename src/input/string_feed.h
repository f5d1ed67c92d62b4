// The strings of a run, pass after pass. A feed comes from a database file
// named in a spec file (its lines checked as the command line checks them)
// or from strings in memory (checked the same way where the checks apply).
// The first pass checks every string and reports the first defective one;
// the later passes see the same strings again.
#pragma once

#include <memory>

#include "state/run_state.h"
#include "tavrel/tavrel.h"

namespace tavrel {

struct StringView {
  const int* items = nullptr;
  int count = 0;
};

class StringFeed {
 public:
  virtual ~StringFeed() = default;
  // Starts the next pass. Returns 0, or -1 after a reported failure.
  virtual int startPass(RunState& run) = 0;
  // Gives the next string of the pass: 1 with the string (valid until the
  // next call), 0 at the end, -1 after a reported failure (a defective
  // string, a read error, a lack of memory).
  virtual int next(RunState& run, StringView* string) = 0;

  // After a complete first pass: the number of strings, and string k, in
  // any order and from any thread (the later passes share the work).
  virtual std::size_t stringCount() const = 0;
  virtual StringView at(std::size_t k) const = 0;
};

// The feed of `source`, with the run's sizes set: from the spec file for a
// file source (nullptr after its messages are reported), from the strings
// for strings in memory (totalItems as given or one more than the largest
// item, the longest string, their number).
std::unique_ptr<StringFeed> openStringFeed(const StringSource& source, RunState& run);

}  // namespace tavrel
