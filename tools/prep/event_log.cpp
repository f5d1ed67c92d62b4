#include "prep/event_log.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <vector>

#include "common/report.h"
#include "input/decimal.h"
#include "prep/csv_records.h"

namespace tavrel::tools {

namespace {

// Finds the column called `name`; -1 with a reason when there is none or
// more than one.
int findColumn(const std::vector<std::string>& header, const std::string& name, std::size_t* index,
               std::string* reason) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (header[i] == name) {
      *index = i;
      ++count;
    }
  }
  if (count == 1) return 0;
  if (count > 1) {
    *reason = "two columns are named '" + name + "'";
    return -1;
  }
  *reason = "no column named '" + name + "'; the columns are:";
  for (std::size_t i = 0; i < header.size(); ++i) {
    *reason += (i == 0 ? " '" : ", '") + header[i] + "'";
  }
  return -1;
}

// Finds the column numbered `number` (from 1) among `fieldCount` fields.
int findColumnByNumber(const std::string& number, std::size_t fieldCount, std::size_t* index,
                       std::string* reason) {
  int value = 0;
  if (!parseWholeInt(number, &value) || value < 1) {
    *reason = inQuotes(number) + " is not a column number (columns are numbered from 1)";
    return -1;
  }
  if (static_cast<std::size_t>(value) > fieldCount) {
    *reason = "there is no column " + number + "; the first row has " + std::to_string(fieldCount) +
              " field" + (fieldCount == 1 ? "" : "s");
    return -1;
  }
  *index = static_cast<std::size_t>(value) - 1;
  return 0;
}

struct ColumnIndices {
  std::size_t caseIndex = 0;
  std::size_t activityIndex = 0;
  std::size_t timeIndex = 0;
  bool timed = false;
};

// Finds the columns by name in the header or, in a file without one, by
// number among the fields of the first record.
int resolveColumns(const EventLogFormat& format, const std::vector<std::string>& first,
                   ColumnIndices* at, std::string* reason) {
  const EventLogColumns& columns = format.columns;
  auto find = [&](const std::string& column, std::size_t* index) {
    return format.header ? findColumn(first, column, index, reason)
                         : findColumnByNumber(column, first.size(), index, reason);
  };
  at->timed = !columns.timeColumn.empty();
  if (find(columns.caseColumn, &at->caseIndex) != 0 ||
      find(columns.activityColumn, &at->activityIndex) != 0 ||
      (at->timed && find(columns.timeColumn, &at->timeIndex) != 0)) {
    return -1;
  }
  return 0;
}

// Puts the events of one case in time order, keeping file order for ties.
void sortCase(Sequence* sequence, const std::vector<TimeKey>& times, TimeOrder order) {
  std::vector<std::size_t> positions(times.size());
  std::iota(positions.begin(), positions.end(), std::size_t{0});
  std::stable_sort(positions.begin(), positions.end(), [&](std::size_t a, std::size_t b) {
    return timeBefore(times[a], times[b], order);
  });
  Sequence sorted;
  sorted.line = sequence->line;
  sorted.caseName = std::move(sequence->caseName);
  for (std::size_t k : positions) {
    sorted.keys.push_back(sequence->keys[k]);
    sorted.lines.push_back(sequence->lines[k]);
  }
  *sequence = std::move(sorted);
}

}  // namespace

int readEventLog(std::string_view text, const std::string& fileName, std::string_view comment,
                 const EventLogFormat& format, SequenceSet* set, TimeOrder* order,
                 std::string* error) {
  CsvCursor cursor{text};
  cursor.separator = format.separator;
  cursor.comment = comment;
  std::vector<std::string> first;
  long line = 1;
  std::string reason;
  auto fail = [&](long at, const std::string& why) {
    *error = fileName + ":" + std::to_string(at) + ": " + why;
    return -1;
  };
  int status = readCsvRecord(&cursor, &first, &line, &reason);
  if (status < 0) return fail(line, reason);
  if (status == 0) {
    return fail(1, format.header ? "the file is empty; expected a header row"
                                 : "the file is empty; expected events");
  }
  if (first[0].substr(0, 3) == "\xEF\xBB\xBF") first[0].erase(0, 3);  // byte order mark
  long firstLine = line;

  ColumnIndices at;
  if (resolveColumns(format, first, &at, &reason) != 0) return fail(firstLine, reason);
  std::size_t fieldCount = first.size();

  std::unordered_map<std::string, std::size_t> caseOf;
  std::vector<std::vector<TimeKey>> times;  // by case, parallel to the sequence's keys
  TimestampColumn timestamps;
  timestamps.format = format.timeFormat;
  // Adds the event of one record; -1 with a reason for a malformed one.
  auto addEvent = [&](std::vector<std::string>& fields) {
    if (fields.size() != fieldCount) {
      reason = "expected " + std::to_string(fieldCount) + " fields, found " +
               std::to_string(fields.size());
      return -1;
    }
    const char* empty = fields[at.caseIndex].empty()               ? "the case id is empty"
                        : fields[at.activityIndex].empty()         ? "the activity is empty"
                        : at.timed && fields[at.timeIndex].empty() ? "the timestamp is empty"
                                                                   : nullptr;
    if (empty != nullptr) {
      reason = empty;
      return -1;
    }
    auto [entry, added] = caseOf.try_emplace(fields[at.caseIndex], set->sequences.size());
    if (added) {
      set->sequences.emplace_back();
      set->sequences.back().line = line;
      set->sequences.back().caseName = fields[at.caseIndex];
      times.emplace_back();
    }
    Sequence& sequence = set->sequences[entry->second];
    sequence.keys.push_back(internLabel(set, fields[at.activityIndex]));
    sequence.lines.push_back(line);
    if (at.timed) {
      TimeKey key;
      if (addTimestamp(&timestamps, std::move(fields[at.timeIndex]), line, &key, &reason) != 0) {
        return -1;
      }
      times[entry->second].push_back(std::move(key));
    }
    return 0;
  };
  if (!format.header && addEvent(first) != 0) return fail(line, reason);
  std::vector<std::string> fields;
  while ((status = readCsvRecord(&cursor, &fields, &line, &reason)) > 0) {
    if (fields.size() == 1 && fields[0].empty()) continue;  // a blank line
    if (addEvent(fields) != 0) return fail(line, reason);
  }
  if (status < 0) return fail(line, reason);

  *order = TimeOrder::kFileOrder;
  if (!at.timed || set->sequences.empty()) return 0;
  if (decideTimeOrder(timestamps, order, &line, &reason) != 0) return fail(line, reason);
  for (std::size_t k = 0; k < set->sequences.size(); ++k) {
    sortCase(&set->sequences[k], times[k], *order);
  }
  return 0;
}

}  // namespace tavrel::tools
