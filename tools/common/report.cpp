#include "common/report.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace tavrel::tools {

void reportMessage(std::string_view program, std::string_view message) {
  std::string line;
  line.reserve(program.size() + message.size() + 3);
  line.append(program).append(": ").append(message).push_back('\n');
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
