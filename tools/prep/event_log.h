// Reader of CSV event logs: a header row naming the columns (unless the
// file has none), then one event per record. The events of a case (rows
// with the same case id) form one sequence of activities; cases keep the
// order in which they first appear. With a timestamp column, the events of
// each case are sorted by time (see timestamp_column.h), events with equal
// times staying in file order. Without one, the file order is the time
// order. Items are numbered in order of first appearance in the sorted
// sequences.
#pragma once

#include <string>
#include <string_view>

#include "prep/input_lines.h"
#include "prep/sequence_set.h"
#include "prep/timestamp_column.h"

namespace tavrel::tools {

// The columns by name, or by number from 1 in a file without a header.
struct EventLogColumns {
  std::string caseColumn;
  std::string activityColumn;
  std::string timeColumn;  // empty: no timestamp column
};

struct EventLogFormat {
  EventLogColumns columns;
  char separator = ',';
  bool header = true;           // false: the first record is an event, columns go by number
  std::string timeFormat = {};  // strptime format of the timestamps; empty: numbers or ISO text
};

// Reads the records of `input` (the file `fileName`) into `set`, skipping the lines
// that start with `comment` (when it is not empty) where a record would
// start, and tells in `order` how the timestamps were compared. Fails
// with "<fileName>:<line>: <reason>": a malformed record,
// a record whose field count differs from the first record's, a column
// that is missing or named twice, an empty case id, activity or
// timestamp, or timestamps that cannot be put in order (or the fault of
// the input's bytes, which weighs more). A record is read line by line and
// may be at most kMaxLineBytes long.
Result readEventLog(InputLines* input, const std::string& fileName, std::string_view comment,
                    const EventLogFormat& format, SequenceSet* set, TimeOrder* order);

// Reads `text` in memory, as above.
Result readEventLog(std::string_view text, const std::string& fileName, std::string_view comment,
                    const EventLogFormat& format, SequenceSet* set, TimeOrder* order);

}  // namespace tavrel::tools
