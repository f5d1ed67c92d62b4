// The patterns tavrel-show handles: as the miner's output holds them, read
// by the output's reader in formats/miner_output.h.
#pragma once

#include "formats/miner_output.h"

namespace tavrel::tools {

using Edge = formats::OutputEdge;
using Pattern = formats::OutputPattern;

}  // namespace tavrel::tools
