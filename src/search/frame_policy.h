// Which form the search gives a frame's strings.
#pragma once

namespace tavrel {

// The patterns and their order never depend on it; the tests and the
// benchmarks pin one form to check it or to measure it.
enum class FramePolicy {
  kCheapest,    // whichever costs fewer operations, frame by frame
  kHorizontal,  // merged transactions everywhere
  kVertical,    // row sets from the top, packed anew in every child
};

}  // namespace tavrel
