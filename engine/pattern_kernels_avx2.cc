// The pattern loops in 256-bit vectors; this file alone is compiled with
// -mavx2 and runs only where KernelPathAvailable(kAvx2) said so. It includes
// nothing with inline code of its own (see pattern_kernels.h).

#include <immintrin.h>

#include "engine/pattern_kernels.h"

namespace kalvex {

namespace {

// A sector is 16 vectors of four words. The fill keeps the running pattern
// in registers from sector to sector and reads the step from the cache.
constexpr int kVectors = 16;

void FillAvx2(uint64_t* words, const uint64_t* first, size_t sectors) {
  const __m256i* step = reinterpret_cast<const __m256i*>(kPatternSectorStep.word);
  __m256i x[kVectors];
  for (int v = 0; v < kVectors; ++v)
    x[v] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first) + v);
  __m256i* out = reinterpret_cast<__m256i*>(words);
  for (size_t i = 0; i < sectors; ++i, out += kVectors) {
    for (int v = 0; v < kVectors; ++v) {
      _mm256_storeu_si256(out + v, x[v]);
      x[v] = _mm256_add_epi64(x[v], _mm256_load_si256(step + v));
    }
  }
}

size_t MatchingAvx2(const uint64_t* words, const uint64_t* first, size_t sectors) {
  if (sectors == 0) return 0;
  const __m256i* step = reinterpret_cast<const __m256i*>(kPatternSectorStep.word);
  const __m256i* in = reinterpret_cast<const __m256i*>(words);
  const __m256i* expected = reinterpret_cast<const __m256i*>(first);
  // Any wrong bit of the sector survives the OR into diff.
  __m256i diff = _mm256_setzero_si256();
  for (int v = 0; v < kVectors; ++v)
    diff = _mm256_or_si256(diff, _mm256_xor_si256(_mm256_loadu_si256(in + v),
                                                  _mm256_loadu_si256(expected + v)));
  if (!_mm256_testz_si256(diff, diff)) return 0;
  // Sixteen vectors of running pattern do not fit the registers beside the
  // data; the sector before, which just proved to be its pattern, serves
  // instead, straight from the cache.
  for (size_t i = 1; i < sectors; ++i) {
    in += kVectors;
    const __m256i* prev = in - kVectors;
    diff = _mm256_setzero_si256();
    for (int v = 0; v < kVectors; ++v) {
      const __m256i x = _mm256_add_epi64(_mm256_loadu_si256(prev + v), _mm256_load_si256(step + v));
      diff = _mm256_or_si256(diff, _mm256_xor_si256(_mm256_loadu_si256(in + v), x));
    }
    if (!_mm256_testz_si256(diff, diff)) return i;
  }
  return sectors;
}

// POPCNT, which this file is compiled for too.
int32_t WrongBitsAvx2(const uint64_t* words, const uint64_t* expected) {
  int32_t total = 0;
  for (int k = 0; k < 64; ++k) total += __builtin_popcountll(words[k] ^ expected[k]);
  return total;
}

}  // namespace

constinit const PatternKernels kAvx2PatternKernels = {KernelPath::kAvx2, &FillAvx2,
                                                      &MatchingAvx2, &WrongBitsAvx2};

}  // namespace kalvex
