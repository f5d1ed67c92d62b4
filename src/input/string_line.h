// The format of the string database and the one reader that all three
// passes use for it. A line is a count n followed by n item numbers, each
// separated from the next by one or more blanks (only the blank separates:
// a tab is part of a token). The reader checks every line the same way in
// every pass, so a pass never sees a line that another pass would reject.
#pragma once

#include <cstddef>

#include "input/input_file.h"

namespace tavrel {

// The result of nextNumber(): the converted value and whether it had digits.
struct NumberToken {
  long long value = 0;
  bool hasDigits = false;
};

// Reads the next blank-separated number of `line` from `position` and moves
// `position` past the token, to the next blank or to the end of the line's
// text (its length, or an earlier NUL byte); it never moves past that end.
// What stands between a token's digits and the next blank is skipped
// unread, so "5abc" and "7\r\n" read as 5 and 7. At the end of the text the
// result has no digits.
NumberToken nextNumber(const LineView& line, std::size_t& position);

// What is wrong with a line of the string database.
enum LineDefect {
  kLineOk = 0,
  kBadNumberOfItems,  // count outside 1..maxItemLength; item missing, not a number or negative
  kItemOutOfRange,    // item number >= totalItems
  kRepeatedItem,      // item number already earlier in the same line
};

// One pass over the string database: at most stringCount lines, each parsed
// into `items` (itemCount of them, in line order).
struct StringReader {
  InputFile* file = nullptr;
  int row = 0;           // 1-based number of the line read last
  int* items = nullptr;  // maxItemLength entries
  int itemCount = 0;
  int* seenInRow = nullptr;  // per item number: last row that held it
};

// Opens the string database named by stringDbFilename. Returns 0, or -1
// after the failure has been reported.
int openStringReader(StringReader* reader);

// Reads and checks the next string. Returns 1 with the string in `items`,
// 0 when stringCount lines have been read or the file has ended, and -1
// after reporting a defective line or a read error.
int nextString(StringReader* reader);

// Closes the file and frees the reader's arrays.
void closeStringReader(StringReader* reader);

// Writes the report of a defective line: "row #<row>: error <reason>", a line
// end, then the line exactly as it was read, with its own line end if it
// had one.
void reportDefectiveLine(int row, LineDefect defect, const LineView& line);

}  // namespace tavrel
