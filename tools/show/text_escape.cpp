#include "show/text_escape.h"

#include "common/utf8.h"

namespace tavrel::tools {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

std::string validUtf8(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t length = utf8SequenceLength(text, i);
    if (length == 0) {
      result.append(kReplacement);
      ++i;
    } else {
      result.append(text.substr(i, length));
      i += length;
    }
  }
  return result;
}

std::string jsonString(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string result = "\"";
  for (char c : validUtf8(text)) {
    switch (c) {
      case '"':
        result += "\\\"";
        break;
      case '\\':
        result += "\\\\";
        break;
      case '\n':
        result += "\\n";
        break;
      case '\t':
        result += "\\t";
        break;
      case '\r':
        result += "\\r";
        break;
      case '\b':
        result += "\\b";
        break;
      case '\f':
        result += "\\f";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          result += "\\u00";
          result.push_back(kHex[(c >> 4) & 0xF]);
          result.push_back(kHex[c & 0xF]);
        } else {
          result.push_back(c);
        }
    }
  }
  result.push_back('"');
  return result;
}

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string result = "\"";
  for (char c : text) {
    if (c == '"') result.push_back('"');
    result.push_back(c);
  }
  result.push_back('"');
  return result;
}

std::string dotString(std::string_view text) {
  std::string result = "\"";
  for (char c : validUtf8(text)) {
    if (c == '"' || c == '\\') {
      result.push_back('\\');
      result.push_back(c);
    } else if (c == '\n') {
      result += "\\n";
    } else if (c != '\r') {
      result.push_back(c);
    }
  }
  result.push_back('"');
  return result;
}

std::string htmlText(std::string_view text) {
  std::string result;
  for (char c : validUtf8(text)) {
    switch (c) {
      case '&':
        result += "&amp;";
        break;
      case '<':
        result += "&lt;";
        break;
      case '>':
        result += "&gt;";
        break;
      case '"':
        result += "&quot;";
        break;
      default:
        result.push_back(c);
    }
  }
  return result;
}

}  // namespace tavrel::tools
