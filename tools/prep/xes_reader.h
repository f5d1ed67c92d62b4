// Reader of XES event logs (IEEE 1849, .xes or gzip-packed .xes.gz): one
// trace is one sequence, the concept:name of each event is its item and the
// concept:name of the trace is its case id. When every event of a trace has
// a time:timestamp (an xs:dateTime), the trace's events are sorted by it,
// events with equal times staying in file order; when none has one, file
// order is time order. Only the attributes directly inside a trace or an
// event count: nested attributes, globals and the log's own attributes are
// skipped. The file streams through libxml2's xmlTextReader, so memory
// holds one trace, not the file; a DOCTYPE is refused before any entity of
// it could be expanded, and nothing is fetched from the network.
#pragma once

#include <string>

#include "prep/input_lines.h"
#include "prep/sequence_set.h"

namespace tavrel::tools {

// Reads the XES log `input` (the file `fileName`) into `set`, with the case
// id of each sequence in set->caseNames. Fails with "<fileName>:<line>:
// <reason>": text that is not well-formed
// XML, a root element other than <log>, a DOCTYPE, an event without
// concept:name, a timestamp that is not an xs:dateTime, a trace in which
// some events have a timestamp and others not (or the fault of the input's
// bytes, such as a cut-off gzip file, which weighs more).
Result readXesLog(InputLines* input, const std::string& fileName, SequenceSet* set);

// Reads an xs:dateTime ("2024-03-05T14:30:00.250+01:00"; without a zone it
// counts as UTC) into microseconds since 1970 in UTC. False when `text` is
// not one.
bool parseXesTime(std::string_view text, long long* micros);

}  // namespace tavrel::tools
