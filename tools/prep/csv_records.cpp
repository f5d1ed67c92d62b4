#include "prep/csv_records.h"

namespace tavrel::tools {

namespace {

// True when the cursor stands at a record end: "\n", "\r\n", or the end of
// the text, with or without a last '\r'.
bool atRecordEnd(const CsvCursor& cursor) {
  std::string_view rest = cursor.text.substr(cursor.position);
  return rest.empty() || rest == "\r" || rest[0] == '\n' || rest.substr(0, 2) == "\r\n";
}

// Reads a quoted field; the cursor stands on its opening quote.
Result readQuotedField(CsvCursor* cursor, std::string* field, long* errorLine) {
  long startLine = cursor->line;
  std::string_view text = cursor->text;
  std::size_t i = cursor->position + 1;
  for (;;) {
    if (i >= text.size()) {
      *errorLine = startLine;
      return Result::failure("a quoted field is not closed");
    }
    char c = text[i];
    if (c == '"') {
      if (i + 1 < text.size() && text[i + 1] == '"') {
        field->push_back('"');
        i += 2;
        continue;
      }
      cursor->position = i + 1;
      break;
    }
    if (c == '\n') ++cursor->line;
    field->push_back(c);
    ++i;
  }
  if (!atRecordEnd(*cursor) && text[cursor->position] != cursor->separator) {
    *errorLine = cursor->line;
    return Result::failure("text after the closing quote of a field");
  }
  return Result();
}

// Reads an unquoted field up to the next separator or record end.
Result readPlainField(CsvCursor* cursor, std::string* field, long* errorLine) {
  std::string_view text = cursor->text;
  std::size_t start = cursor->position;
  while (!atRecordEnd(*cursor) && text[cursor->position] != cursor->separator) {
    if (text[cursor->position] == '"') {
      *errorLine = cursor->line;
      return Result::failure(
          "a quote inside an unquoted field (quote the whole field and double the quote)");
    }
    ++cursor->position;
  }
  field->assign(text.substr(start, cursor->position - start));
  return Result();
}

// Moves the cursor past the comment lines that start where it stands.
void skipCommentLines(CsvCursor* cursor) {
  while (!cursor->comment.empty() &&
         cursor->text.substr(cursor->position, cursor->comment.size()) == cursor->comment) {
    std::size_t end = cursor->text.find('\n', cursor->position);
    cursor->position = end == std::string_view::npos ? cursor->text.size() : end + 1;
    ++cursor->line;
  }
}

}  // namespace

int readCsvRecord(CsvCursor* cursor, std::vector<std::string>* fields, long* recordLine) {
  fields->clear();
  skipCommentLines(cursor);
  if (cursor->position >= cursor->text.size()) return 0;
  *recordLine = cursor->line;
  for (;;) {
    fields->emplace_back();
    bool quoted = cursor->text[cursor->position] == '"';
    Result read = quoted ? readQuotedField(cursor, &fields->back(), recordLine)
                         : readPlainField(cursor, &fields->back(), recordLine);
    if (!read.ok()) {
      cursor->failure = std::move(read);
      return -1;
    }
    if (atRecordEnd(*cursor)) break;
    ++cursor->position;  // the separator
    if (cursor->position == cursor->text.size()) {
      fields->emplace_back();  // a record ending in a comma has an empty last field
      break;
    }
  }
  std::string_view rest = cursor->text.substr(cursor->position);
  if (!rest.empty()) {
    cursor->position += rest.substr(0, 2) == "\r\n" ? 2 : 1;
    ++cursor->line;
  }
  return 1;
}

}  // namespace tavrel::tools
