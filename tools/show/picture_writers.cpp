#include "show/picture_writers.h"

#include <filesystem>
#include <system_error>

#include "common/report.h"
#include "show/dot_output.h"
#include "show/graphviz_render.h"
#include "show/hasse.h"

namespace tavrel::tools {

namespace {

constexpr const char* kProgram = "tavrel-show";

// The format's name, which Graphviz renders by and file names end in.
const char* formatName(PictureFormat format) {
  return format == PictureFormat::kDot ? "dot" : format == PictureFormat::kSvg ? "svg" : "png";
}

class PictureWriter : public PatternWriter {
 public:
  PictureWriter(PictureFormat format, const ShowContext& context)
      : format_(format), context_(context) {
    if (format != PictureFormat::kDot) renderer_ = std::make_unique<GraphvizRenderer>();
  }

  Result add(const Pattern& pattern) override {
    std::string tooLarge = tooLargeToDraw(pattern);
    if (!tooLarge.empty()) {
      reportMessage(kProgram, tooLarge);
      return Result();
    }
    bool cycle = false;
    std::string picture = dotGraph(pattern, context_.table, context_.allEdges, &cycle);
    noteDrawing(context_, pattern, ++drawn_, cycle);
    if (renderer_ != nullptr) {
      std::string dot = std::move(picture);
      Result rendered = renderer_->render(dot, formatName(format_), &picture);
      if (!rendered.ok()) return rendered;
    }
    if (context_.outputDir.empty()) {
      sinkPut(context_.out, picture);
      return Result();
    }
    if (drawn_ == 1) {
      Result created = createFolder();
      if (!created.ok()) return created;
    }
    std::string path = (std::filesystem::path(context_.outputDir) /
                        ("pattern_" + std::to_string(pattern.number) + "." + formatName(format_)))
                           .string();
    return writeWholeFile(path, picture);
  }

  Result finish(long) override { return Result(); }

 private:
  // Makes the folder the pictures go in, with the folders above it.
  Result createFolder() {
    std::error_code failure;
    std::filesystem::create_directories(context_.outputDir, failure);
    if (failure) {
      return Result::failure("cannot create the folder " + context_.outputDir + ": " +
                             failure.message());
    }
    return Result();
  }

  PictureFormat format_;
  ShowContext context_;
  std::unique_ptr<GraphvizRenderer> renderer_;
  long drawn_ = 0;
};

}  // namespace

std::unique_ptr<PatternWriter> makePictureWriter(PictureFormat format, const ShowContext& context) {
  return std::make_unique<PictureWriter>(format, context);
}

std::string tooLargeToDraw(const Pattern& pattern) {
  std::size_t items = itemsOf(pattern.edges).size();
  if (items <= kMaxDrawnItems && pattern.edges.size() <= kMaxDrawnEdges) return "";
  return "pattern " + std::to_string(pattern.number) + " has " + std::to_string(items) +
         " items and " + std::to_string(pattern.edges.size()) +
         " edges, more than a picture holds (" + std::to_string(kMaxDrawnItems) + " items, " +
         std::to_string(kMaxDrawnEdges) + " edges); it is not drawn";
}

void noteDrawing(const ShowContext& context, const Pattern& pattern, long drawn, bool cycle) {
  if (cycle) {
    reportMessage(kProgram, "the edges of pattern " + std::to_string(pattern.number) +
                                " form a cycle; all of them are drawn");
  }
  if (drawn == kManyPictures + 1 && !context.picturesChosen) {
    reportMessage(kProgram, "drawing more than " + std::to_string(kManyPictures) +
                                " pictures; choose the patterns to draw with --top K or "
                                "--pattern N");
  }
}

}  // namespace tavrel::tools
