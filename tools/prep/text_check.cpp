#include "prep/text_check.h"

#include <algorithm>

#include "common/utf8.h"

namespace tavrel::tools {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::size_t TextCheck::take(std::string_view bytes, bool last) {
  std::size_t i = 0;
  if (!started_) {
    if (bytes.size() < 2 && !last) return 0;
    started_ = true;
    utf16_ = startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF");
  }
  if (utf16_) return bytes.size();
  while (i < bytes.size()) {
    char c = bytes[i];
    if (static_cast<unsigned char>(c) < 0x80) {
      if (c == '\n') ++line_;
      if (c == '\0' && nulLine_ == 0) nulLine_ = line_;
      ++i;
      continue;
    }
    if (!last && bytes.size() - i < 4) break;  // the sequence may go on in the next piece
    std::size_t length = utf8SequenceLength(bytes, i);
    if (length > 0) {
      i += length;
      continue;
    }
    if (badLine_ == 0) badLine_ = line_;
    ++badBytes_;
    ++i;
  }
  return i;
}

bool TextCheck::failed() const {
  return utf16_ || nulLine_ != 0 || badBytes_ > kTolerableNonUtf8Bytes;
}

std::string TextCheck::message(const std::string& fileName) const {
  if (utf16_) {
    return fileName +
           " is UTF-16 text; convert it to UTF-8 first, e.g. with iconv -f UTF-16 -t UTF-8";
  }
  if (nulLine_ != 0) {
    return fileName + ":" + std::to_string(nulLine_) +
           ": a NUL byte; this is not a text file (tavrel-prep reads text, CSV and SPMF files)";
  }
  return fileName + ":" + std::to_string(badLine_) + ": not UTF-8 text (more than " +
         std::to_string(kTolerableNonUtf8Bytes) +
         " bytes that are not UTF-8, the first on this line); convert the file to "
         "UTF-8 first, e.g. with iconv -f LATIN1 -t UTF-8";
}

Result checkText(std::string_view text, const std::string& fileName) {
  TextCheck check;
  check.take(text, true);
  if (!check.failed()) return Result();
  return Result::failure(check.message(fileName));
}

}  // namespace tavrel::tools
