// The records in which found patterns wait and travel: what a piece of
// work hands to its chunk of the ordered output (ordered_output.h), and
// what a rank's kPatterns blocks carry to rank 0 (mpi/wire.h). A record is
// a run of ints, of one of these kinds:
//  - a pattern: its support (1 or more), its edge count, then its edges;
//  - the place of a piece of work given away (WorkExchange): a pattern
//    record in form, of support kPieceSupport (0) whose one edge is the
//    piece's id, so that a reader of pattern records can step over it.
//    Threads and ranks mark a piece's place alike;
//  - in one process only, for a sink that makes text: minus one more than
//    the text's length in bytes (an empty text must not read as 0, a
//    piece's place), then the text, padded to whole ints;
//  - in one process only, for the progress display: kTopEdgeMark, then the
//    top-level edge whose subtree's patterns follow.
#pragma once

#include <climits>
#include <cstddef>

namespace tavrel::parallel {

enum class RecordKind { kPattern, kPiece, kText, kTopEdge };

// The support that marks a piece's place.
constexpr int kPieceSupport = 0;
// The ints of a piece's mark.
constexpr std::size_t kPieceMarkInts = 3;
// A record's first int, when it is no pattern but the top-level edge
// whose subtree's patterns follow.
constexpr int kTopEdgeMark = INT_MIN;

// The kind of the record that starts at `record`.
inline RecordKind recordKind(const int* record) {
  if (record[0] == kTopEdgeMark) return RecordKind::kTopEdge;
  if (record[0] < 0) return RecordKind::kText;
  return record[0] == kPieceSupport ? RecordKind::kPiece : RecordKind::kPattern;
}

// Ints of a pattern record of `length` edges (a piece's mark is one of one
// edge).
inline std::size_t patternRecordInts(int length) { return 2 + static_cast<std::size_t>(length); }

// Writes the mark of piece `id`'s place.
inline void writePieceMark(int* into, int id) {
  into[0] = kPieceSupport;
  into[1] = 1;
  into[2] = id;
}
// The piece whose place the mark at `record` holds.
inline int pieceOfMark(const int* record) { return record[2]; }

// A text record's first int, for a text of `size` bytes (below INT_MAX).
inline int textRecordHeader(std::size_t size) { return -static_cast<int>(size) - 1; }
// The bytes of text of a text record whose first int is `header`.
inline std::size_t textRecordSize(int header) { return static_cast<std::size_t>(-(header + 1)); }
// Ints of a text record of `size` bytes.
inline std::size_t textRecordInts(std::size_t size) {
  return 1 + (size + sizeof(int) - 1) / sizeof(int);
}

// Ints of the record that starts at `record`.
inline std::size_t recordInts(const int* record) {
  switch (recordKind(record)) {
    case RecordKind::kTopEdge:
      return 2;
    case RecordKind::kText:
      return textRecordInts(textRecordSize(record[0]));
    default:
      return patternRecordInts(record[1]);
  }
}

}  // namespace tavrel::parallel
