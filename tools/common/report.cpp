#include "common/report.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace tavrel::tools {

void reportMessage(std::string_view program, std::string_view message) {
  std::string line;
  line.reserve(program.size() + message.size() + 3);
  line.append(program).append(": ");
  for (char c : message) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789abcdef";
      line.append("\\x").push_back(kHex[byte >> 4]);
      line.push_back(kHex[byte & 0xF]);
    } else {
      line.push_back(c);
    }
  }
  line.push_back('\n');
  const char* data = line.data();
  std::size_t length = line.size();
  while (length > 0) {
    ssize_t written = ::write(2, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += written;
    length -= static_cast<std::size_t>(written);
  }
}

std::string inQuotes(std::string_view text) {
  std::string result;
  result.reserve(text.size() + 2);
  result.push_back('\'');
  result.append(text);
  result.push_back('\'');
  return result;
}

}  // namespace tavrel::tools
