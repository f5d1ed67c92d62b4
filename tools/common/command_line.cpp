#include "common/command_line.h"

namespace tavrel::tools {

namespace {

// True when `name` is one of the blank-separated words of `names`.
bool listed(std::string_view names, std::string_view name) {
  while (!names.empty()) {
    std::size_t end = names.find(' ');
    if (names.substr(0, end) == name) return true;
    if (end == std::string_view::npos) break;
    names.remove_prefix(end + 1);
  }
  return false;
}

}  // namespace

int nextArgument(ArgumentScanner* scanner, std::string_view flags, std::string_view valued,
                 Argument* argument) {
  while (scanner->next < scanner->argc) {
    std::string_view arg = scanner->argv[scanner->next++];
    if (scanner->optionsEnded || arg.size() < 2 || arg.substr(0, 2) != "--") {
      *argument = Argument{true, {}, arg};
      return 1;
    }
    if (arg == "--") {
      scanner->optionsEnded = true;
      continue;
    }
    std::string_view key = arg.substr(0, arg.find('='));
    if (listed(flags, key)) {
      if (key != arg) {
        scanner->failure = Result::failure("option " + std::string(key) + " takes no value");
        return -1;
      }
      *argument = Argument{false, key, {}};
      return 1;
    }
    if (!listed(valued, key)) {
      scanner->failure = Result::failure("unknown option " + std::string(key));
      return -1;
    }
    std::string_view value;
    if (key != arg) {
      value = arg.substr(key.size() + 1);
    } else if (scanner->next < scanner->argc) {
      value = scanner->argv[scanner->next++];
    } else {
      scanner->failure = Result::failure("option " + std::string(key) + " needs a value");
      return -1;
    }
    *argument = Argument{false, key, value};
    return 1;
  }
  return 0;
}

}  // namespace tavrel::tools
