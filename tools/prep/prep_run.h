// The whole run of tavrel-prep, callable from tests.
#pragma once

namespace tavrel::tools {

// Runs tavrel-prep on its command line and returns the exit status: 0 after
// writing the three files (or the help text), 1 after an input, output or
// memory error, 2 after a usage error. Messages and notices (dropped empty
// sequences and repeated items, the timestamp order, what was written) go
// to standard error, the help text to standard output.
int runPrep(int argc, const char* const* argv);

}  // namespace tavrel::tools
