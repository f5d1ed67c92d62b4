// The writers of the text formats: the summary, JSON Lines and CSV. The
// records go out as the patterns come in; the summary keeps counts only.
#pragma once

#include <memory>

#include "show/pattern_writer.h"

namespace tavrel::tools {

std::unique_ptr<PatternWriter> makeSummaryWriter(const ShowContext& context);
std::unique_ptr<PatternWriter> makeJsonLinesWriter(const ShowContext& context);
std::unique_ptr<PatternWriter> makeCsvWriter(const ShowContext& context);

}  // namespace tavrel::tools
