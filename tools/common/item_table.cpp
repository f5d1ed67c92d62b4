#include "common/item_table.h"

#include <cstdio>
#include <new>

#include "base/decimal.h"
#include "base/line_input.h"
#include "common/report.h"

namespace tavrel::tools {

std::string unescapeLabel(std::string_view text) {
  std::string label;
  label.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      char next = text[i + 1];
      char plain = next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
      if (next == 't' || next == 'n' || next == 'r' || next == '\\') {
        label.push_back(plain);
        ++i;
        continue;
      }
    }
    label.push_back(c);
  }
  return label;
}

namespace {

constexpr std::string_view kFingerprintStart = "# database fingerprint: strings=";

// Reads the fingerprint line; false when it is malformed.
bool parseFingerprint(std::string_view line, DatabaseFingerprint* fingerprint) {
  line.remove_prefix(kFingerprintStart.size());
  std::size_t end = line.find(" crc32=");
  int strings = 0;
  if (end == std::string_view::npos || !parseWholeInt(line.substr(0, end), &strings) ||
      strings < 0) {
    return false;
  }
  std::string_view hex = line.substr(end + std::string_view(" crc32=").size());
  if (hex.size() != 8 || hex.find_first_not_of("0123456789abcdef") != std::string_view::npos) {
    return false;
  }
  fingerprint->strings = strings;
  fingerprint->crc32 = static_cast<std::uint32_t>(std::stoul(std::string(hex), nullptr, 16));
  return true;
}

}  // namespace

int readFingerprintLine(std::string_view line, DatabaseFingerprint* fingerprint) {
  if (line.substr(0, kFingerprintStart.size()) != kFingerprintStart) return 0;
  return parseFingerprint(line, fingerprint) ? 1 : -1;
}

std::string fingerprintLine(const DatabaseFingerprint& fingerprint) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(fingerprint.crc32));
  return std::string(kFingerprintStart) + std::to_string(fingerprint.strings) + " crc32=" + hex;
}

std::string escapeLabel(std::string_view label) {
  std::string text;
  text.reserve(label.size());
  for (char c : label) {
    switch (c) {
      case '\t':
        text += "\\t";
        break;
      case '\n':
        text += "\\n";
        break;
      case '\r':
        text += "\\r";
        break;
      case '\\':
        text += "\\\\";
        break;
      default:
        text.push_back(c);
    }
  }
  return text;
}

namespace {

// Reads the table's lines from `input` (named `shown` when reading fails),
// as parseItemTable() reads them.
Result parseItemLines(LineInput& input, const std::string& fileName, const std::string& shown,
                      ItemTable* table) {
  table->labels.clear();
  table->fingerprint.reset();
  std::string_view line;
  bool terminated = false;
  int status;
  while ((status = input.readTrimmed(&line, &terminated)) > 0) {
    auto where = [&] { return fileName + ":" + std::to_string(input.lineNumber()) + ": "; };
    DatabaseFingerprint fingerprint;
    int found = readFingerprintLine(line, &fingerprint);
    if (found < 0) return Result::failure(where() + kFingerprintExpected);
    if (found > 0) {
      table->fingerprint = fingerprint;
      continue;
    }
    if (!line.empty() && line[0] == '#') continue;
    std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
      return Result::failure(where() + "expected an item number, a tab and a label");
    }
    int item = 0;
    if (!parseWholeInt(line.substr(0, tab), &item) || item < 0) {
      return Result::failure(where() + inQuotes(line.substr(0, tab)) + " is not an item number");
    }
    if (!table->labels.emplace(item, unescapeLabel(line.substr(tab + 1))).second) {
      return Result::failure(where() + "item " + std::to_string(item) + " is listed twice");
    }
  }
  if (status < 0) {
    if (input.failure().isOutOfMemory()) throw std::bad_alloc();
    return Result::failure("cannot read " + shown + ": " + std::string(input.failure().message()));
  }
  return Result();
}

}  // namespace

Result parseItemTable(std::string_view text, const std::string& fileName, ItemTable* table) {
  LineInput input = LineInput::overText(text);
  return parseItemLines(input, fileName, fileName, table);
}

Result readItemTable(const std::string& path, ItemTable* table) {
  LineInput input;
  Result opened = input.openOrStandardInput(path);
  if (!opened.ok()) return opened;
  return parseItemLines(input, path, path == "-" ? "standard input" : path, table);
}

const std::string* findLabel(const ItemTable& table, int item) {
  auto found = table.labels.find(item);
  return found == table.labels.end() ? nullptr : &found->second;
}

std::string labelOrNumber(const ItemTable* table, int item) {
  const std::string* label = table == nullptr ? nullptr : findLabel(*table, item);
  return label == nullptr ? std::to_string(item) : *label;
}

}  // namespace tavrel::tools
