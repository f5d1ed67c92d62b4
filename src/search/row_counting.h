// Counting rows in a vertical step: how many of the extension's rows a
// candidate's row set holds, and whether it holds them all. The extension's
// rows are its active words: word index[k] of the base's row sets, with
// the rows bits[k] in it (indices ascending).
//
// Two readers of the same rows: ScalarRows, for any processor, and
// VectorRows, for x86-64 processors with 512-bit population counts, which
// reads 8 words at once where the index is the identity. Both give the
// same numbers (VectorRows::keep() may keep empty words: see there).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TAVREL_VECTOR_ROWS 1
// Functions that use VectorRows are built for these extensions.
#define TAVREL_VECTOR_TARGET __attribute__((target("avx512f,avx512vl,avx512vpopcntdq,popcnt")))
#endif

namespace tavrel {

// True when this processor (and its operating system) runs VectorRows.
bool vectorRowsAvailable();

// Active words are counted in blocks of this many; after each block a count
// that can no longer reach its bound is given up.
constexpr std::size_t kBlockWords = 16;

class ScalarRows {
 public:
  // Writes to (index, bits) the words of the `active` words (activeIndex,
  // activeBits) where `rows` holds some of their rows, with those rows, and
  // returns their number.
  static std::size_t keep(const std::uint32_t* activeIndex, const std::uint64_t* activeBits,
                          std::size_t active, const std::uint64_t* rows, int /*baseWords*/,
                          std::uint32_t* index, std::uint64_t* bits) {
    std::size_t kept = 0;
    // Without a branch: whether a word keeps rows is random.
    for (std::size_t k = 0; k < active; ++k) {
      std::uint64_t word = activeBits[k] & rows[activeIndex[k]];
      index[kept] = activeIndex[k];
      bits[kept] = word;
      kept += word != 0;
    }
    return kept;
  }

  // The rows of `active` words (the number of words of the base's row sets
  // is VectorRows' concern). Empty words are allowed.
  ScalarRows(const std::uint32_t* index, const std::uint64_t* bits, std::size_t active,
             int /*baseWords*/)
      : index_(index), bits_(bits), active_(active) {}

  // The rows in the n words `bits` (n at most kBlockWords).
  static int rowsIn(const std::uint64_t* bits, std::size_t n) {
    int rows = 0;
    for (std::size_t k = 0; k < n; ++k) rows += __builtin_popcountll(bits[k]);
    return rows;
  }

  // The number of the rows that `rows` holds when it is at least `least`;
  // otherwise some number below `least`. rowsFrom[b] holds the rows in the
  // words from block b on (see countRowsByBlock()): after each whole block
  // the count stops once the rows left cannot make up for those missed.
  int countAtLeast(const std::uint64_t* rows, const int* rowsFrom, int least) const {
    int count = 0;
    std::size_t k = 0;
    for (std::size_t b = 0; k + kBlockWords <= active_; ++b, k += kBlockWords) {
#pragma GCC unroll 16
      for (std::size_t j = k; j < k + kBlockWords; ++j) {
        count += __builtin_popcountll(bits_[j] & rows[index_[j]]);
      }
      if (count + rowsFrom[b + 1] < least) return count;
    }
#pragma GCC unroll 4
    for (; k < active_; ++k) count += __builtin_popcountll(bits_[k] & rows[index_[k]]);
    return count;
  }

  // True when `rows` holds every one of the rows.
  bool allIn(const std::uint64_t* rows) const {
    for (std::size_t k = 0; k < active_; ++k) {
      if ((bits_[k] & ~rows[index_[k]]) != 0) return false;
    }
    return true;
  }

 private:
  const std::uint32_t* index_;
  const std::uint64_t* bits_;
  std::size_t active_;
};

#ifdef TAVREL_VECTOR_ROWS
// When every word of the base is active (the index is then the identity
// and is not read), reads the words in order, 8 to a register, and counts
// a candidate's rows with a load, AND and population count per 8 words; up
// to 16 words stay in two registers for the whole step. Other steps are
// left to ScalarRows. Only for functions built with TAVREL_VECTOR_TARGET,
// on processors where vectorRowsAvailable().
class VectorRows {
 public:
  // As ScalarRows::keep(), but where the active words are every word of
  // the base (baseWords) and at most a quarter of them would be dropped,
  // keeps every one, empty or not, so that the steps below stay dense.
  TAVREL_VECTOR_TARGET static std::size_t keep(const std::uint32_t* activeIndex,
                                               const std::uint64_t* activeBits, std::size_t active,
                                               const std::uint64_t* rows, int baseWords,
                                               std::uint32_t* index, std::uint64_t* bits) {
    if (active != static_cast<std::size_t>(baseWords)) {
      return ScalarRows::keep(activeIndex, activeBits, active, rows, baseWords, index, bits);
    }
    // The index is the identity: the words are read in order, 8 at a time.
    std::size_t full = 0;
    for (std::size_t k = 0; k < active; k += 8) {
      __mmask8 mask = tailMask(std::min<std::size_t>(active - k, 8));
      __m512i word = load(mask, activeBits + k) & load(mask, rows + k);
      _mm512_mask_storeu_epi64(bits + k, mask, word);
      full += static_cast<std::size_t>(__builtin_popcount(_mm512_test_epi64_mask(word, word)));
    }
    const __m256i eight = _mm256_set1_epi32(8);
    __m256i at = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    if (full * 4 >= active * 3) {
      for (std::size_t k = 0; k < active; k += 8, at = _mm256_add_epi32(at, eight)) {
        _mm256_mask_storeu_epi32(index + k, tailMask(std::min<std::size_t>(active - k, 8)), at);
      }
      return active;
    }
    // Otherwise the words with rows move down, in place (each group of 8
    // is read before anything is written over it).
    std::size_t kept = 0;
    for (std::size_t k = 0; k < active; k += 8, at = _mm256_add_epi32(at, eight)) {
      __mmask8 mask = tailMask(std::min<std::size_t>(active - k, 8));
      __m512i word = load(mask, bits + k);
      __mmask8 held = _mm512_test_epi64_mask(word, word);
      std::size_t n = static_cast<std::size_t>(__builtin_popcount(held));
      _mm512_mask_storeu_epi64(bits + kept, tailMask(n), _mm512_maskz_compress_epi64(held, word));
      _mm256_mask_storeu_epi32(index + kept, tailMask(n), _mm256_maskz_compress_epi32(held, at));
      kept += n;
    }
    return kept;
  }

  TAVREL_VECTOR_TARGET VectorRows(const std::uint32_t* index, const std::uint64_t* bits,
                                  std::size_t active, int baseWords)
      : index_(index),
        bits_(bits),
        active_(active),
        dense_(active == static_cast<std::size_t>(baseWords)) {
    inRegisters_ = dense_ && active <= 16;
    if (!inRegisters_) return;
    lowMask_ = tailMask(std::min<std::size_t>(active, 8));
    highMask_ = tailMask(active > 8 ? active - 8 : 0);
    low_ = load(lowMask_, bits);
    high_ = highMask_ != 0 ? load(highMask_, bits + 8) : _mm512_setzero_si512();
  }

  // As ScalarRows::rowsIn().
  TAVREL_VECTOR_TARGET static int rowsIn(const std::uint64_t* bits, std::size_t n) {
    __m512i counts = _mm512_popcnt_epi64(load(tailMask(std::min<std::size_t>(n, 8)), bits));
    if (n > 8) counts += _mm512_popcnt_epi64(load(tailMask(n - 8), bits + 8));
    return sum(counts);
  }

  // As ScalarRows::countAtLeast(); the count is exact when in registers.
  TAVREL_VECTOR_TARGET int countAtLeast(const std::uint64_t* rows, const int* rowsFrom,
                                        int least) const {
    if (!inRegisters_) {
      return dense_ ? denseCount(rows, rowsFrom, least)
                    : scalar().countAtLeast(rows, rowsFrom, least);
    }
    __m512i counts = _mm512_popcnt_epi64(low_ & load(lowMask_, rows));
    if (highMask_ != 0) counts += _mm512_popcnt_epi64(high_ & load(highMask_, rows + 8));
    return sum(counts);
  }

  // As ScalarRows::allIn().
  TAVREL_VECTOR_TARGET bool allIn(const std::uint64_t* rows) const {
    if (!inRegisters_) return dense_ ? denseAllIn(rows) : scalar().allIn(rows);
    __m512i missed = low_ & ~load(lowMask_, rows);
    if (highMask_ != 0) missed |= high_ & ~load(highMask_, rows + 8);
    return _mm512_test_epi64_mask(missed, missed) == 0;
  }

 private:
  // The same rows, read through the index.
  ScalarRows scalar() const { return ScalarRows(index_, bits_, active_, 0); }

  // The first n (at most 8) of 8 words.
  static __mmask8 tailMask(std::size_t n) { return static_cast<__mmask8>((1u << n) - 1); }

  // The words of `mask` from `words`; the others read as 0 and are not
  // touched.
  TAVREL_VECTOR_TARGET static __m512i load(__mmask8 mask, const std::uint64_t* words) {
    return _mm512_maskz_loadu_epi64(mask, words);
  }

  // The sum of the lanes, each at most 128: the low byte of each is the
  // whole of it.
  TAVREL_VECTOR_TARGET static int sum(__m512i counts) {
    __m128i bytes = _mm512_maskz_cvtepi64_epi8(0xff, counts);
    return _mm_cvtsi128_si32(_mm_sad_epu8(bytes, _mm_setzero_si128()));
  }

  // The rows held in the n (at most 8) words from k on.
  TAVREL_VECTOR_TARGET __m512i heldIn(const std::uint64_t* rows, std::size_t k,
                                      std::size_t n) const {
    __mmask8 mask = tailMask(n);
    return _mm512_popcnt_epi64(load(mask, rows + k) & load(mask, bits_ + k));
  }

  // As ScalarRows::countAtLeast(), block by block, for a dense step.
  TAVREL_VECTOR_TARGET int denseCount(const std::uint64_t* rows, const int* rowsFrom,
                                      int least) const {
    int count = 0;
    std::size_t k = 0;
    for (std::size_t b = 0; k + kBlockWords <= active_; ++b, k += kBlockWords) {
      count += sum(heldIn(rows, k, 8) + heldIn(rows, k + 8, 8));
      if (count + rowsFrom[b + 1] < least) return count;
    }
    std::size_t left = active_ - k;
    if (left == 0) return count;
    __m512i counts = heldIn(rows, k, std::min<std::size_t>(left, 8));
    if (left > 8) counts += heldIn(rows, k + 8, left - 8);
    return count + sum(counts);
  }

  // As ScalarRows::allIn(), for a dense step.
  TAVREL_VECTOR_TARGET bool denseAllIn(const std::uint64_t* rows) const {
    for (std::size_t k = 0; k < active_; k += 8) {
      __mmask8 mask = tailMask(std::min<std::size_t>(active_ - k, 8));
      __m512i missed = load(mask, bits_ + k) & ~load(mask, rows + k);
      if (_mm512_test_epi64_mask(missed, missed) != 0) return false;
    }
    return true;
  }

  const std::uint32_t* index_;
  const std::uint64_t* bits_;
  std::size_t active_;
  bool dense_;
  bool inRegisters_ = false;
  __mmask8 lowMask_ = 0;
  __mmask8 highMask_ = 0;
  __m512i low_;
  __m512i high_;
};
#endif

}  // namespace tavrel
