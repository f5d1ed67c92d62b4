#include "prep/text_check.h"

#include <algorithm>

#include "common/utf8.h"

namespace tavrel::tools {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The number of the line that holds text[position], from 1.
long lineAt(std::string_view text, std::size_t position) {
  return 1 + static_cast<long>(std::count(text.begin(), text.begin() + position, '\n'));
}

}  // namespace

int checkText(std::string_view text, const std::string& fileName, std::string* error) {
  if (startsWith(text, "\xFF\xFE") || startsWith(text, "\xFE\xFF")) {
    *error =
        fileName + " is UTF-16 text; convert it to UTF-8 first, e.g. with iconv -f UTF-16 -t UTF-8";
    return -1;
  }
  std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) {
    *error = fileName + ":" + std::to_string(lineAt(text, nul)) +
             ": a NUL byte; this is not a text file (tavrel-prep reads text, CSV and SPMF files)";
    return -1;
  }
  std::size_t firstBad = std::string_view::npos;
  std::size_t badBytes = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = utf8SequenceLength(text, i);
    if (length > 0) {
      i += length;
      continue;
    }
    if (firstBad == std::string_view::npos) firstBad = i;
    if (++badBytes > kTolerableNonUtf8Bytes) {
      *error = fileName + ":" + std::to_string(lineAt(text, firstBad)) +
               ": not UTF-8 text (more than " + std::to_string(kTolerableNonUtf8Bytes) +
               " bytes that are not UTF-8, the first on this line); convert the file to "
               "UTF-8 first, e.g. with iconv -f LATIN1 -t UTF-8";
      return -1;
    }
    ++i;
  }
  return 0;
}

}  // namespace tavrel::tools
