// The records that pieces of work hand on: each kind reads back as
// written, and a run of them is walked record by record to its end.
#include "parallel/pattern_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tavrel::parallel {
namespace {

TEST(PatternRecordsTest, EachKindReadsBackAndARunIsWalkedToItsEnd) {
  std::vector<int> records{3, 2, 5, 9};  // support 3, edges 5 and 9
  records.resize(records.size() + kPieceMarkInts);
  writePieceMark(records.data() + 4, 17);
  for (std::string text : {std::string(), std::string("abcde")}) {
    std::size_t at = records.size();
    records.resize(at + textRecordInts(text.size()));
    records[at] = textRecordHeader(text.size());
    std::memcpy(records.data() + at + 1, text.data(), text.size());
  }
  records.insert(records.end(), {kTopEdgeMark, 4});

  std::vector<RecordKind> kinds;
  std::vector<std::string> texts;
  for (std::size_t at = 0; at < records.size(); at += recordInts(records.data() + at)) {
    const int* record = records.data() + at;
    kinds.push_back(recordKind(record));
    if (kinds.back() == RecordKind::kPiece) {
      EXPECT_EQ(pieceOfMark(record), 17);
    }
    if (kinds.back() == RecordKind::kText) {
      texts.emplace_back(reinterpret_cast<const char*>(record + 1), textRecordSize(record[0]));
    }
  }
  EXPECT_EQ(kinds,
            (std::vector<RecordKind>{RecordKind::kPattern, RecordKind::kPiece, RecordKind::kText,
                                     RecordKind::kText, RecordKind::kTopEdge}));
  EXPECT_EQ(texts, (std::vector<std::string>{"", "abcde"}));
  // A piece's mark is a pattern record in form: one edge, its id.
  EXPECT_EQ(records[4], kPieceSupport);
  EXPECT_EQ(patternRecordInts(records[5]), kPieceMarkInts);
}

}  // namespace
}  // namespace tavrel::parallel
