// The text of one pattern in the miner's output, formatted straight into a
// caller's buffer without printf or streams. A pattern block is exactly
//
//   "Pattern <number> Support = <support>: \n"
//   "<from>-<to>\t" for each edge, then "\n"
//   "\n"
//
// with every integer in plain decimal (no padding, no sign). The caller
// reserves maxPatternBlockBytes(edgeCount) bytes first, for example with
// BlockWriter::reserve(), and hands the bytes used on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tavrel::output {

// One edge of a pattern: the item `from` comes before the item `to`. Both
// are non-negative.
struct PatternEdge {
  int from = 0;
  int to = 0;
};

// The most bytes each part of a block takes.
inline constexpr std::size_t kMaxPatternHeaderBytes =
    sizeof("Pattern ") - 1 + 20 + sizeof(" Support = ") - 1 + 10 + sizeof(": \n") - 1;
inline constexpr std::size_t kMaxPatternEdgeBytes = 10 + 1 + 10 + 1;
inline constexpr std::size_t kPatternEndBytes = 2;

// The most bytes formatPatternBlock() writes for a pattern of `edgeCount`
// edges; exact for the largest number, support and items.
constexpr std::size_t maxPatternBlockBytes(std::size_t edgeCount) {
  return kMaxPatternHeaderBytes + edgeCount * kMaxPatternEdgeBytes + kPatternEndBytes;
}

// Writes `value` in decimal at `out` (at most 20 bytes); returns the end.
char* putDecimal(char* out, std::uint64_t value);

// Writes the header line "Pattern <number> Support = <support>: \n" at
// `out` (at most kMaxPatternHeaderBytes bytes); returns the end.
// Requires support >= 0.
char* putPatternHeader(char* out, std::uint64_t number, int support);

// Writes "<from>-<to>\t" at `out` (at most kMaxPatternEdgeBytes bytes);
// returns the end. Requires from >= 0 and to >= 0.
char* putPatternEdge(char* out, int from, int to);

// Writes the end of the edge line and the empty line that closes a block
// ("\n\n", kPatternEndBytes bytes); returns the end.
char* putPatternEnd(char* out);

// Writes the whole block of one pattern at `out`, which must have room for
// maxPatternBlockBytes(edges.size()) bytes; returns the bytes used.
std::size_t formatPatternBlock(char* out, std::uint64_t number, int support,
                               std::span<const PatternEdge> edges);

}  // namespace tavrel::output
