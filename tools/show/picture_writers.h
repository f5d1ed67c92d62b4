// The writers of pictures: DOT text, or SVG and PNG rendered through
// Graphviz's library. With an output folder every pattern gets its own
// file, pattern_<n>.dot, .svg or .png; without one, DOT graphs follow one
// another on standard output, and an SVG or PNG picture (of the one
// pattern chosen) goes there alone. Drawing more than kManyPictures
// pictures that no --top or --pattern chose brings a notice, once.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "show/pattern_writer.h"

namespace tavrel::tools {

constexpr long kManyPictures = 100;

// The largest pattern drawn: its Hasse diagram takes n * n bits for n
// items, and Graphviz's layout grows faster still with the edges. A
// larger pattern (only a forged or extreme output holds one) is not drawn.
constexpr std::size_t kMaxDrawnItems = 2000;
constexpr std::size_t kMaxDrawnEdges = 20000;

// Empty when `pattern` may be drawn; otherwise the notice that it is not.
std::string tooLargeToDraw(const Pattern& pattern);

enum class PictureFormat { kDot, kSvg, kPng };

std::unique_ptr<PatternWriter> makePictureWriter(PictureFormat format, const ShowContext& context);

// Writes the notices about drawing the `drawn`-th picture of `pattern`:
// that its edges form a cycle, and (once) that many pictures are drawn.
void noteDrawing(const ShowContext& context, const Pattern& pattern, long drawn, bool cycle);

}  // namespace tavrel::tools
