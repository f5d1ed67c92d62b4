#include "show/graphviz_render.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <mutex>
#include <new>

namespace tavrel::tools {

namespace {

// Graphviz's last message without its line end, or a general reason.
std::string graphvizReason() {
  std::string reason = aglasterr() != nullptr ? aglasterr() : "";
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
  return reason.empty() ? "Graphviz could not draw the pattern" : "Graphviz: " + reason;
}

// Graphviz's state is the process's: one drawing at a time.
std::mutex& drawingLock() {
  static std::mutex lock;
  return lock;
}

// The process's context, made at the first call and never freed.
GVC_t* processContext() {
  static GVC_t* context = [] {
    agseterr(AGMAX);  // keep messages for aglasterr() instead of printing them
    return gvContext();
  }();
  return context;
}

}  // namespace

GraphvizRenderer::GraphvizRenderer() : context_(processContext()) {
  if (context_ == nullptr) throw std::bad_alloc();
}

Result GraphvizRenderer::render(const std::string& dot, std::string_view format,
                                std::string* picture) {
  std::lock_guard<std::mutex> drawing(drawingLock());
  Agraph_t* graph = agmemread(dot.c_str());
  if (graph == nullptr) return Result::failure(graphvizReason());
  int status = gvLayout(context_, graph, "dot");
  char* data = nullptr;
  unsigned int length = 0;
  if (status == 0) {
    status = gvRenderData(context_, graph, std::string(format).c_str(), &data, &length);
  }
  if (status == 0) picture->assign(data, length);
  if (data != nullptr) gvFreeRenderData(data);
  gvFreeLayout(context_, graph);
  agclose(graph);
  if (status != 0) return Result::failure(graphvizReason());
  return Result();
}

std::string_view svgElement(std::string_view svg) {
  std::size_t start = svg.find("<svg");
  return start == std::string_view::npos ? svg : svg.substr(start);
}

}  // namespace tavrel::tools

// Graphviz and the font library under it keep some memory for the whole
// process (plugin tables, font caches) that they never free; in a build
// with LeakSanitizer those blocks are not this program's leaks.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libgvc.so\nleak:libfontconfig.so\nleak:libpango\nleak:libcairo.so\n"
         "leak:libglib-2.0.so\n";
}
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif
