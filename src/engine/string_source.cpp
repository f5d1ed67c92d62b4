#include <utility>

#include "tavrel/tavrel.h"

namespace tavrel {

StringSource StringSource::specFile(std::string specPath) {
  StringSource source;
  source.kind_ = Kind::kSpecFile;
  source.specPath_ = std::move(specPath);
  return source;
}

StringSource StringSource::strings(const std::int32_t* items, const std::size_t* offsets,
                                   std::size_t count, int totalItems) {
  StringSource source;
  source.kind_ = Kind::kFlatStrings;
  source.items_ = items;
  source.offsets_ = offsets;
  source.count_ = count;
  source.totalItems_ = totalItems;
  return source;
}

StringSource StringSource::strings(const std::vector<std::vector<std::int32_t>>& strings,
                                   int totalItems) {
  StringSource source;
  source.kind_ = Kind::kNestedStrings;
  source.nested_ = &strings;
  source.count_ = strings.size();
  source.totalItems_ = totalItems;
  return source;
}

}  // namespace tavrel
