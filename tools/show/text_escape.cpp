#include "show/text_escape.h"

#include <algorithm>

#include "common/utf8.h"

namespace tavrel::tools {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr char kHex[] = "0123456789abcdef";

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// Appends "\xNN" for the byte `c`.
void appendHexEscape(std::string* text, char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  text->append("\\x");
  text->push_back(kHex[byte >> 4]);
  text->push_back(kHex[byte & 0xF]);
}

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

std::string visibleControls(std::string_view text, std::string_view kept) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (isControl(c) && kept.find(c) == std::string_view::npos) {
      appendHexEscape(&result, c);
    } else {
      result.push_back(c);
    }
  }
  return result;
}

std::string terminalText(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = utf8SequenceLength(text, i);
    char c = text[i];
    bool c1 = length == 2 && c == '\xC2' && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (c == '\t' || c == '\n' || c == '\r' || c == '\\') {
      result.push_back('\\');
      result.push_back(c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\\');
    } else if (length == 0 || isControl(c) || c1) {
      for (std::size_t k = 0; k < std::max<std::size_t>(length, 1); ++k) {
        appendHexEscape(&result, text[i + k]);
      }
    } else {
      result.append(text.substr(i, length));
    }
    i += std::max<std::size_t>(length, 1);
  }
  return result;
}

std::string jsonString(std::string_view text) {
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
  bool formula =
      !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos;
  std::string visible = visibleControls(text, "\t\r\n");
  if (!formula && visible.find_first_of(",\"\r\n") == std::string::npos) return visible;
  std::string result = formula ? "\"'" : "\"";
  for (char c : visible) {
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
    } else if (isControl(c) && c != '\t' && c != '\r') {
      result.push_back('\\');  // Graphviz shows "\\" as one backslash
      appendHexEscape(&result, c);
    } else if (c != '\r') {
      result.push_back(c);
    }
  }
  result.push_back('"');
  return result;
}

std::string htmlText(std::string_view text) {
  std::string result;
  for (char c : visibleControls(validUtf8(text), "\t\r\n")) {
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
