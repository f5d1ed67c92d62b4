#include "input/string_line.h"

#include "input/decimal.h"
#include "state/console.h"
#include "state/global_state.h"
#include "state/memory.h"

namespace tavrel {

NumberToken nextNumber(const LineView& line, std::size_t& position) {
  const char* text = line.text;
  std::size_t length = line.length;
  while (position < length && text[position] == ' ') ++position;
  if (position < length && text[position] >= '0' && text[position] <= '9') {
    // The common token, plain digits, read here; it converts as below.
    long long value = 0;
    do {
      value = value * 10 + (text[position] - '0');
      if (value > kDecimalLimit) value = kDecimalLimit;
      ++position;
    } while (position < length && text[position] >= '0' && text[position] <= '9');
    while (position < length && text[position] != ' ' && text[position] != '\0') ++position;
    return NumberToken{value, true};
  }
  DecimalValue converted = convertDecimal(text, length, position);
  while (position < length && text[position] != ' ' && text[position] != '\0') ++position;
  return NumberToken{converted.value, converted.hasDigits};
}

namespace {

// Parses one line into reader->items and returns its defect, if any.
LineDefect parseLine(StringReader* reader, const LineView& line) {
  std::size_t position = 0;
  NumberToken count = nextNumber(line, position);
  if (count.value <= 0 || count.value > maxItemLength) return kBadNumberOfItems;
  int n = static_cast<int>(count.value);
  int row = reader->row;
  for (int k = 0; k < n; ++k) {
    NumberToken item = nextNumber(line, position);
    if (!item.hasDigits || item.value < 0) return kBadNumberOfItems;
    if (item.value >= totalItems) return kItemOutOfRange;
    int itemNumber = static_cast<int>(item.value);
    if (reader->seenInRow[itemNumber] == row) return kRepeatedItem;
    reader->seenInRow[itemNumber] = row;
    reader->items[k] = itemNumber;
  }
  reader->itemCount = n;
  return kLineOk;
}

}  // namespace

int openStringReader(StringReader* reader) {
  *reader = StringReader{};
  reader->file = openInputFile(stringDbFilename, "r", true);
  if (reader->file == nullptr) return -1;
  reader->items = newArray<int>(static_cast<std::size_t>(maxItemLength));
  reader->seenInRow = newArray<int>(static_cast<std::size_t>(totalItems));
  if (reader->items == nullptr || reader->seenInRow == nullptr) {
    closeStringReader(reader);
    return -1;
  }
  return 0;
}

int nextString(StringReader* reader) {
  if (reader->row >= stringCount) return 0;
  LineView line;
  int status = readLine(reader->file, &line);
  if (status <= 0) return status;
  ++reader->row;
  LineDefect defect = parseLine(reader, line);
  if (defect != kLineOk) {
    reportDefectiveLine(reader->row, defect, line);
    return -1;
  }
  return 1;
}

void closeStringReader(StringReader* reader) {
  closeInputFile(reader->file);
  deleteArray(reader->items);
  deleteArray(reader->seenInRow);
  *reader = StringReader{};
}

void reportDefectiveLine(int row, LineDefect defect, const LineView& line) {
  putText("row #");
  putInt(row);
  switch (defect) {
    case kItemOutOfRange:
      putText(": error item out of range");
      break;
    case kRepeatedItem:
      putText(": error repeated item");
      break;
    default:
      putText(": error number of items");
      break;
  }
  endLine();
  putText(std::string_view(line.text, line.length));
  flushOutput();
}

}  // namespace tavrel
