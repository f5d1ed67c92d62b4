#include "prep/event_log.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <vector>

#include "prep/csv_records.h"
#include "prep/timestamp_order.h"

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

// Puts the events of one case in time order, keeping file order for ties.
void sortCase(Sequence* sequence, const std::vector<std::string>& times, bool numeric) {
  std::vector<std::size_t> order(times.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return numeric ? compareDecimalNumbers(times[a], times[b]) < 0 : times[a] < times[b];
  });
  Sequence sorted;
  sorted.line = sequence->line;
  sorted.caseName = std::move(sequence->caseName);
  for (std::size_t k : order) {
    sorted.keys.push_back(sequence->keys[k]);
    sorted.lines.push_back(sequence->lines[k]);
  }
  *sequence = std::move(sorted);
}

}  // namespace

int readEventLog(std::string_view text, const std::string& fileName, const EventLogColumns& columns,
                 SequenceSet* set, TimeOrder* order, std::string* error) {
  CsvCursor cursor{text};
  std::vector<std::string> header;
  long line = 1;
  std::string reason;
  auto fail = [&](long at, const std::string& why) {
    *error = fileName + ":" + std::to_string(at) + ": " + why;
    return -1;
  };
  int status = readCsvRecord(&cursor, &header, &line, &reason);
  if (status < 0) return fail(line, reason);
  if (status == 0) return fail(1, "the file is empty; expected a header row");
  if (header[0].substr(0, 3) == "\xEF\xBB\xBF") header[0].erase(0, 3);  // byte order mark

  bool timed = !columns.timeColumn.empty();
  std::size_t caseIndex = 0, activityIndex = 0, timeIndex = 0;
  if (findColumn(header, columns.caseColumn, &caseIndex, &reason) != 0 ||
      findColumn(header, columns.activityColumn, &activityIndex, &reason) != 0 ||
      (timed && findColumn(header, columns.timeColumn, &timeIndex, &reason) != 0)) {
    return fail(1, reason);
  }

  std::unordered_map<std::string, std::size_t> caseOf;
  std::vector<std::vector<std::string>> times;  // by case, parallel to the sequence's keys
  bool allNumeric = true;
  std::vector<std::string> fields;
  while ((status = readCsvRecord(&cursor, &fields, &line, &reason)) > 0) {
    if (fields.size() == 1 && fields[0].empty()) continue;  // a blank line
    if (fields.size() != header.size()) {
      return fail(line, "expected " + std::to_string(header.size()) + " fields, found " +
                            std::to_string(fields.size()));
    }
    if (fields[caseIndex].empty()) return fail(line, "the case id is empty");
    if (fields[activityIndex].empty()) return fail(line, "the activity is empty");
    if (timed && fields[timeIndex].empty()) return fail(line, "the timestamp is empty");
    auto [entry, added] = caseOf.try_emplace(fields[caseIndex], set->sequences.size());
    if (added) {
      set->sequences.emplace_back();
      set->sequences.back().line = line;
      set->sequences.back().caseName = fields[caseIndex];
      times.emplace_back();
    }
    Sequence& sequence = set->sequences[entry->second];
    sequence.keys.push_back(internLabel(set, fields[activityIndex]));
    sequence.lines.push_back(line);
    if (timed) {
      allNumeric = allNumeric && isDecimalNumber(fields[timeIndex]);
      times[entry->second].push_back(std::move(fields[timeIndex]));
    }
  }
  if (status < 0) return fail(line, reason);

  *order = !timed ? TimeOrder::kFileOrder : allNumeric ? TimeOrder::kNumeric : TimeOrder::kText;
  if (timed) {
    for (std::size_t k = 0; k < set->sequences.size(); ++k) {
      sortCase(&set->sequences[k], times[k], allNumeric);
    }
  }
  return 0;
}

}  // namespace tavrel::tools
