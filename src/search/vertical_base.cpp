#include "search/vertical_base.h"

#include <cstdint>

namespace tavrel {

namespace {

// Sets bits [first, first + count) of a bit set.
void setRun(std::uint64_t* words, std::size_t first, std::size_t count) {
  std::size_t end = first + count;
  while (first < end) {
    std::size_t word = first / 64;
    std::size_t bit = first % 64;
    std::size_t take = end - first < 64 - bit ? end - first : 64 - bit;
    std::uint64_t mask = take == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << take) - 1) << bit;
    words[word] |= mask;
    first += take;
  }
}

// Points the frame's view at its own base, whose slots are its
// `candidates` candidates and then its `witnesses` witnesses, with every
// one of the `rows` rows active. False when memory ran out.
bool viewOwnBase(FrameData& frame, std::size_t candidates, std::size_t witnesses,
                 std::size_t rows) {
  VerticalView& view = frame.view;
  std::size_t rowWords = static_cast<std::size_t>(frame.base.rowWords);
  view.baseFrame = &frame;
  if (!view.slotOf.resize(candidates) || !view.witnessSlots.resize(witnesses) ||
      !view.activeIndex.resize(rowWords) || !view.activeBits.resize(rowWords)) {
    return false;
  }
  for (std::size_t c = 0; c < candidates; ++c) view.slotOf[c] = static_cast<std::uint32_t>(c);
  for (std::size_t w = 0; w < witnesses; ++w) {
    view.witnessSlots[w] = static_cast<std::uint32_t>(candidates + w);
  }
  for (std::size_t w = 0; w < rowWords; ++w) {
    view.activeIndex[w] = static_cast<std::uint32_t>(w);
    std::size_t bitsHere = rows - w * 64 < 64 ? rows - w * 64 : 64;
    view.activeBits[w] = bitsHere == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bitsHere) - 1;
  }
  return true;
}

}  // namespace

bool prefersVertical(const HorizontalLevel& level, int candidateCount) {
  std::size_t rows = 0;
  for (int weight : level.weights) rows += static_cast<std::size_t>(weight);
  std::size_t rowWords = (rows + 63) / 64;
  std::size_t candidates = static_cast<std::size_t>(candidateCount);
  // A word of row sets costs about four items delivered (measured on the
  // dense real databases, whose first levels sit near the balance).
  return candidates * candidates * rowWords < 4 * level.squaredLengths;
}

bool makeVerticalBase(FrameData& frame) {
  const HorizontalLevel& level = frame.horizontal;
  int candidateCount = frame.candidateCount();
  VerticalBase& base = frame.base;
  std::size_t rows = 0;
  for (int weight : level.weights) rows += static_cast<std::size_t>(weight);
  std::size_t rowWords = (rows + 63) / 64;
  std::size_t slots = static_cast<std::size_t>(candidateCount + level.headBits);
  base.rowWords = static_cast<int>(rowWords);
  if (!base.rowSets.assign(slots * rowWords, 0)) return false;
  std::size_t words = static_cast<std::size_t>(level.headWords);
  std::size_t row = 0;
  for (std::size_t t = 0; t < level.transactionCount(); ++t) {
    std::size_t weight = static_cast<std::size_t>(level.weights[t]);
    std::uint64_t* rowSets = base.rowSets.data();
    if (weight == 1) {
      std::uint64_t bit = std::uint64_t{1} << (row % 64);
      std::size_t word = row / 64;
      for (std::size_t k = level.offsets[t]; k < level.offsets[t + 1]; ++k) {
        rowSets[level.items[k] * rowWords + word] |= bit;
      }
    } else {
      for (std::size_t k = level.offsets[t]; k < level.offsets[t + 1]; ++k) {
        setRun(rowSets + level.items[k] * rowWords, row, weight);
      }
    }
    const std::uint64_t* head = level.heads.data() + t * words;
    for (std::size_t w = 0; w < words; ++w) {
      for (std::uint64_t rest = head[w]; rest != 0; rest &= rest - 1) {
        std::size_t slot = static_cast<std::size_t>(candidateCount) + w * 64 +
                           static_cast<std::size_t>(__builtin_ctzll(rest));
        setRun(rowSets + slot * rowWords, row, weight);
      }
    }
    row += weight;
  }
  return viewOwnBase(frame, static_cast<std::size_t>(candidateCount),
                     static_cast<std::size_t>(level.headBits), rows);
}

bool worthCompacting(const FrameData& child, std::size_t active, int rows,
                     const SearchShared& shared) {
  std::size_t packed = (static_cast<std::size_t>(rows) + 63) / 64;
  if (shared.policy == FramePolicy::kVertical) return packed < active;
  return child.edgeOf.size() * (active - packed) > 4 * static_cast<std::size_t>(rows);
}

bool compactRows(const VerticalBase& base, FrameData& child, std::size_t rows) {
  VerticalView& view = child.view;
  std::size_t rowWords = (rows + 63) / 64;
  std::size_t candidates = view.slotOf.size();
  std::size_t witnesses = view.witnessSlots.size();
  VerticalBase& packed = child.base;
  packed.rowWords = static_cast<int>(rowWords);
  if (!packed.rowSets.assign((candidates + witnesses) * rowWords, 0)) return false;
  const std::uint32_t* index = view.activeIndex.data();
  const std::uint64_t* bits = view.activeBits.data();
  std::size_t active = view.activeIndex.size();
  for (std::size_t s = 0; s < candidates + witnesses; ++s) {
    std::uint32_t from = s < candidates ? view.slotOf[s] : view.witnessSlots[s - candidates];
    const std::uint64_t* source = base.rowsOf(from);
    std::uint64_t* out = packed.rowSets.data() + s * rowWords;
    std::size_t row = 0;
    for (std::size_t k = 0; k < active; ++k) {
      std::uint64_t word = source[index[k]];
      for (std::uint64_t rest = bits[k]; rest != 0; rest &= rest - 1, ++row) {
        std::uint64_t held = (word >> __builtin_ctzll(rest)) & 1;
        out[row / 64] |= held << (row % 64);
      }
    }
  }
  return viewOwnBase(child, candidates, witnesses, rows);
}

}  // namespace tavrel
