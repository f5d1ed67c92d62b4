// The command-line syntax that both companion programs share: operands,
// flags (--name), options with a value (--name VALUE or --name=VALUE), and
// "--", after which everything is an operand.
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"

namespace tavrel::tools {

struct ArgumentScanner {
  int argc = 0;
  const char* const* argv = nullptr;
  int next = 1;               // argv index of the next argument
  bool optionsEnded = false;  // "--" was seen
  Result failure{};           // why nextArgument() returned -1
};

struct Argument {
  bool isOperand = false;
  std::string_view key;    // the option's name, "--name"; empty for an operand
  std::string_view value;  // the operand, or the option's value (empty for a flag)
};

// Reads the next argument into `argument`. `flags` and `valued` list the
// option names that take no value and one value, separated by blanks
// ("--help --all-edges"). Returns 1 with an argument, 0 after the last one,
// and -1 with a message in `scanner->failure` for an unknown option, a flag
// given a value, or an option whose value is missing.
int nextArgument(ArgumentScanner* scanner, std::string_view flags, std::string_view valued,
                 Argument* argument);

}  // namespace tavrel::tools
