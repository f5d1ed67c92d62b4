// The whole run of tavrel-show, callable from tests.
#pragma once

namespace tavrel::tools {

// Runs tavrel-show on its command line and returns the exit status: 0
// after writing the chosen patterns (or the help text), 1 after an input,
// output or memory error, 2 after a usage error. The output goes to
// standard output, messages to standard error.
int runShow(int argc, const char* const* argv);

}  // namespace tavrel::tools
