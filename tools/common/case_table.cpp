#include "common/case_table.h"

#include <new>
#include <string_view>

#include "base/line_input.h"

namespace tavrel::tools {

namespace {

constexpr std::string_view kHeader = "line\tcase";

// Reads one row, which must be line `expected`; false with a reason when
// it is not.
bool readRow(std::string_view line, std::size_t expected, CaseTable* table, std::string* reason) {
  std::size_t tab = line.find('\t');
  if (tab == std::string_view::npos) {
    *reason = "expected a line number, a tab and a case id";
    return false;
  }
  if (line.substr(0, tab) != std::to_string(expected)) {
    *reason = "expected the row of line " + std::to_string(expected);
    return false;
  }
  table->cases.push_back(unescapeLabel(line.substr(tab + 1)));
  return true;
}

}  // namespace

void putCaseTable(OutputSink* sink, const DatabaseFingerprint& fingerprint, std::size_t count,
                  const std::function<std::string(std::size_t)>& caseOf) {
  sinkPut(sink, fingerprintLine(fingerprint));
  sinkPutChar(sink, '\n');
  sinkPut(sink, kHeader);
  sinkPutChar(sink, '\n');
  for (std::size_t s = 0; s < count; ++s) {
    sinkPutInt(sink, static_cast<long long>(s + 1));
    sinkPutChar(sink, '\t');
    sinkPut(sink, escapeLabel(caseOf(s)));
    sinkPutChar(sink, '\n');
  }
}

Result readCaseTable(const std::string& path, CaseTable* table) {
  *table = CaseTable{};
  LineInput input;
  Result opened = input.open(path, false);
  if (!opened.ok()) return opened;
  std::string_view line;
  bool terminated = false;
  bool headerSeen = false;
  std::string reason;
  int status = 0;
  while (reason.empty() && (status = input.readTrimmed(&line, &terminated)) > 0) {
    DatabaseFingerprint fingerprint;
    int found = headerSeen ? 0 : readFingerprintLine(line, &fingerprint);
    if (found < 0) {
      reason = kFingerprintExpected;
    } else if (found > 0) {
      table->fingerprint = fingerprint;
    } else if (!headerSeen) {
      headerSeen = line == kHeader;
      if (!headerSeen) reason = "expected the header \"line<TAB>case\"";
    } else {
      readRow(line, table->cases.size() + 1, table, &reason);
    }
  }
  if (!reason.empty()) {
    return Result::failure(path + ":" + std::to_string(input.lineNumber()) + ": " + reason);
  }
  if (status < 0) {
    if (input.failure().isOutOfMemory()) throw std::bad_alloc();
    return Result::failure("cannot read " + path + ": " + std::string(input.failure().message()));
  }
  if (!headerSeen) return Result::failure(path + ": expected the header \"line<TAB>case\"");
  return Result();
}

}  // namespace tavrel::tools
