#include "show/text_escape.h"

namespace tavrel::tools {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at text[i], or 0 when none starts
// there.
std::size_t sequenceLength(std::string_view text, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::string validUtf8(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t length = sequenceLength(text, i);
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

}  // namespace tavrel::tools
