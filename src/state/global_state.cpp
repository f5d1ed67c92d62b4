#include "state/global_state.h"

namespace tavrel {

std::string stringDbFilename;
int totalItems = 0;
int maxItemLength = 0;
int stringCount = 0;
int minSup = 0;
int frequentItemCount = 0;
int edgeCount = 0;
std::int64_t patternCount = 0;
double runtimeMs = 0;

ItemInfo* itemTable = nullptr;
int* frequentItems = nullptr;
PairCell** pairMatrix = nullptr;
EdgeInfo* edgeTable = nullptr;
std::map<std::int64_t, int> edgeIndex;
EdgeDatabase edgeDatabase;

}  // namespace tavrel
