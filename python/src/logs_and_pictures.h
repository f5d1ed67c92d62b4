// The bindings of XES event logs (tavrel-prep's reader) and of pictures
// (tavrel-show's Graphviz rendering), added to the module by module.cpp.
#pragma once

#include <pybind11/pybind11.h>

namespace tavrel::python {

// Adds read_xes(path) and render_svg(dot) to `module`.
void bindLogsAndPictures(pybind11::module_& module);

}  // namespace tavrel::python
