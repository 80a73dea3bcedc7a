// The pattern loops in 512-bit vectors; this file alone is compiled with
// -mavx512f and runs only where KernelPathAvailable(kAvx512) said so. It
// includes nothing with inline code of its own (see pattern_kernels.h).

#include <immintrin.h>

#include "engine/pattern_kernels.h"

namespace kalvex {

namespace {

// A sector is 8 vectors of eight words. The running pattern and the step
// both stay in registers for the whole run.
constexpr int kVectors = 8;

// Bit table of a | (b ^ c) for vpternlogq: one instruction adds a vector's
// wrong bits to the sector's.
constexpr int kOrXor = 0xF6;

void FillAvx512(uint64_t* words, const uint64_t* first, size_t sectors) {
  __m512i x[kVectors], step[kVectors];
  for (int v = 0; v < kVectors; ++v) {
    x[v] = _mm512_loadu_si512(first + 8 * v);
    step[v] = _mm512_load_si512(kPatternSectorStep.word + 8 * v);
  }
  for (size_t i = 0; i < sectors; ++i, words += 8 * kVectors) {
    for (int v = 0; v < kVectors; ++v) {
      _mm512_storeu_si512(words + 8 * v, x[v]);
      x[v] = _mm512_add_epi64(x[v], step[v]);
    }
  }
}

size_t MatchingAvx512(const uint64_t* words, const uint64_t* first, size_t sectors) {
  __m512i x[kVectors], step[kVectors];
  for (int v = 0; v < kVectors; ++v) {
    x[v] = _mm512_loadu_si512(first + 8 * v);
    step[v] = _mm512_load_si512(kPatternSectorStep.word + 8 * v);
  }
  for (size_t i = 0; i < sectors; ++i, words += 8 * kVectors) {
    __m512i diff = _mm512_xor_si512(_mm512_loadu_si512(words), x[0]);
    for (int v = 1; v < kVectors; ++v)
      diff = _mm512_ternarylogic_epi64(diff, _mm512_loadu_si512(words + 8 * v), x[v], kOrXor);
    for (int v = 0; v < kVectors; ++v) x[v] = _mm512_add_epi64(x[v], step[v]);
    if (_mm512_test_epi64_mask(diff, diff) != 0) return i;
  }
  return sectors;
}

// POPCNT, which this file is compiled for too.
int32_t WrongBitsAvx512(const uint64_t* words, const uint64_t* expected) {
  int32_t total = 0;
  for (int k = 0; k < 64; ++k) total += __builtin_popcountll(words[k] ^ expected[k]);
  return total;
}

}  // namespace

constinit const PatternKernels kAvx512PatternKernels = {KernelPath::kAvx512, &FillAvx512,
                                                        &MatchingAvx512, &WrongBitsAvx512};

}  // namespace kalvex
