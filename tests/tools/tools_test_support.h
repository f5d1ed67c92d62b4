// Helpers for the companion programs' tests: their golden data, child runs
// of tavrel-prep and tavrel-show, and folder listings.
#pragma once

#include <string>
#include <vector>

#include "support/test_support.h"

namespace tavrel::testing {

// True in a sanitizer build: the sanitizers reserve far more address space
// than a run under an address-space limit may have, so such runs cannot
// start there.
constexpr bool kSanitizedBuild =
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    true;
#else
    false;
#endif

// The path of `relative` in tests/tools/data.
std::string dataPath(const std::string& relative);

// The contents of `relative` in tests/tools/data.
std::string readData(const std::string& relative);

// Runs tavrel-prep or tavrel-show with `args` in the folder `workingDir`.
RunResult runPrepTool(const std::vector<std::string>& args, const std::string& workingDir);
RunResult runShowTool(const std::vector<std::string>& args, const ChildOptions& options = {});

// Runs the program `exe` with `args` in `workingDir` (empty: the test's
// own) with its standard output sent to /dev/full, where every write fails.
RunResult runIntoFullDevice(const std::string& exe, const std::vector<std::string>& args,
                            const std::string& workingDir);

// The names in a folder, sorted; empty when it does not exist.
std::vector<std::string> listFolder(const std::string& path);

// The full path of the program `name` found on PATH, or "" when there is
// none (tests that need Graphviz's dot skip then).
std::string findProgram(const std::string& name);

// Renders a DOT file with `dot -Tsvg`; the result's `out` holds the SVG.
RunResult renderSvg(const std::string& dotProgram, const std::string& dotFile);

}  // namespace tavrel::testing
