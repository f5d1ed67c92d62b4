#include "prep/event_log.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <vector>

#include "base/decimal.h"
#include "common/report.h"
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

// Reads the text of the next record into `record`: the next line that is
// not a comment, and the lines after it while a quoted field is open.
// Returns 1 with its first line in `firstLine`, 0 at the end, -1 with a
// message in `failure`.
int nextRecordText(InputLines* input, const std::string& fileName, std::string_view comment,
                   std::string* record, long* firstLine, Result* failure) {
  std::string_view line;
  bool terminated = false;
  int status;
  do {
    if ((status = input->next(&line, &terminated)) <= 0) {
      if (status < 0) *failure = input->failure();
      return status;
    }
  } while (!comment.empty() && line.substr(0, comment.size()) == comment);
  *firstLine = input->lineNumber();
  record->assign(line);
  std::size_t quotes = static_cast<std::size_t>(std::count(line.begin(), line.end(), '"'));
  while (terminated) {
    record->push_back('\n');
    if (quotes % 2 == 0) break;
    if ((status = input->next(&line, &terminated)) < 0) {
      *failure = input->failure();
      return -1;
    }
    if (status == 0) break;
    if (record->size() + line.size() > kMaxLineBytes) {
      *failure = input->settle(
          Result::failure(fileName + ":" + std::to_string(*firstLine) + ": a record longer than " +
                          std::to_string(kMaxLineBytes >> 20) + " MiB; is a quote not closed?"));
      return -1;
    }
    record->append(line);
    quotes += static_cast<std::size_t>(std::count(line.begin(), line.end(), '"'));
  }
  return 1;
}

// Reads the next record into `fields`. Returns 1 with its first line in
// `line`, 0 at the end, -1 with a message in `failure`.
int nextRecord(InputLines* input, const std::string& fileName, std::string_view comment,
               char separator, std::vector<std::string>* fields, long* line, Result* failure) {
  std::string record;
  int status = nextRecordText(input, fileName, comment, &record, line, failure);
  if (status <= 0) return status;
  CsvCursor cursor{record};
  cursor.line = *line;
  cursor.separator = separator;
  if (readCsvRecord(&cursor, fields, line) < 0) {
    *failure = input->settle(Result::failure(fileName + ":" + std::to_string(*line) + ": " +
                                             std::string(cursor.failure.message())));
    return -1;
  }
  return 1;
}

// Puts the events in order of case and, within a case, of time, keeping
// file order for ties, and groups them into the sequences of `set`.
void sortAndGroup(EventList* events, std::vector<TimeKey>* times, TimeOrder order,
                  SequenceSet* set) {
  if (!times->empty()) {
    std::vector<std::size_t> positions(events->keys.size());
    std::iota(positions.begin(), positions.end(), std::size_t{0});
    std::stable_sort(positions.begin(), positions.end(), [&](std::size_t a, std::size_t b) {
      if (events->cases[a] != events->cases[b]) return events->cases[a] < events->cases[b];
      return timeBefore((*times)[a], (*times)[b], order);
    });
    times->clear();
    times->shrink_to_fit();
    EventList sorted;
    for (std::size_t e : positions) {
      sorted.cases.push_back(events->cases[e]);
      sorted.keys.push_back(events->keys[e]);
      sorted.lines.push_back(events->lines[e]);
    }
    events->cases = std::move(sorted.cases);
    events->keys = std::move(sorted.keys);
    events->lines = std::move(sorted.lines);
  }
  groupEvents(events, set);
}

}  // namespace

Result readEventLog(InputLines* input, const std::string& fileName, std::string_view comment,
                    const EventLogFormat& format, SequenceSet* set, TimeOrder* order) {
  std::vector<std::string> first;
  long line = 1;
  std::string reason;
  auto fail = [&](long at, const std::string& why) {
    return input->settle(Result::failure(fileName + ":" + std::to_string(at) + ": " + why));
  };
  Result failure;
  int status = nextRecord(input, fileName, comment, format.separator, &first, &line, &failure);
  if (status < 0) return failure;
  if (status == 0) {
    return fail(1, format.header ? "the file is empty; expected a header row"
                                 : "the file is empty; expected events");
  }
  if (first[0].substr(0, 3) == "\xEF\xBB\xBF") first[0].erase(0, 3);  // byte order mark
  long firstLine = line;

  ColumnIndices at;
  if (resolveColumns(format, first, &at, &reason) != 0) return fail(firstLine, reason);
  std::size_t fieldCount = first.size();

  std::unordered_map<std::string, int> caseOf;
  EventList events;
  std::vector<TimeKey> times;  // by event, with a timestamp column
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
    auto [entry, added] =
        caseOf.try_emplace(fields[at.caseIndex], static_cast<int>(events.caseNames.size()));
    if (added) {
      events.caseNames.push_back(fields[at.caseIndex]);
      events.caseLines.push_back(line);
    }
    events.cases.push_back(entry->second);
    events.keys.push_back(internLabel(set, fields[at.activityIndex]));
    events.lines.push_back(line);
    if (at.timed) {
      TimeKey key;
      if (addTimestamp(&timestamps, std::move(fields[at.timeIndex]), line, &key, &reason) != 0) {
        return -1;
      }
      times.push_back(std::move(key));
    }
    return 0;
  };
  if (!format.header && addEvent(first) != 0) return fail(line, reason);
  std::vector<std::string> fields;
  while ((status = nextRecord(input, fileName, comment, format.separator, &fields, &line,
                              &failure)) > 0) {
    if (fields.size() == 1 && fields[0].empty()) continue;  // a blank line
    if (addEvent(fields) != 0) return fail(line, reason);
  }
  if (status < 0) return failure;

  *order = TimeOrder::kFileOrder;
  if (at.timed && !events.keys.empty() && decideTimeOrder(timestamps, order, &line, &reason) != 0) {
    return fail(line, reason);
  }
  sortAndGroup(&events, &times, *order, set);
  return Result();
}

Result readEventLog(std::string_view text, const std::string& fileName, std::string_view comment,
                    const EventLogFormat& format, SequenceSet* set, TimeOrder* order) {
  InputLines input(text, fileName);
  return readEventLog(&input, fileName, comment, format, set, order);
}

}  // namespace tavrel::tools
