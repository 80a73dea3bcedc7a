// The loops that lay down and compare the test data pattern, and the choice
// among their versions for the CPU at hand.
//
// Word k of the sector at P is affine in P: x(k) = A_k * P + C_k (mod 2^64),
// so the sector at P + 512 has word k equal to the word k of the sector at P
// plus kPatternSectorStep[k] = 512 * A_k. A run of consecutive sectors then
// costs one add per word, with no chain from word to word, which vector units
// take in parallel.
//
// This header is also read by the translation units compiled for wider
// instruction sets. It must hold no inline code: an inline function emitted
// there would carry those instructions, and the linker could pick that copy
// for every caller, also on a CPU without them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kalvex {

// The versions of the loops. kAuto is the widest one the CPU runs.
enum class KernelPath { kAuto, kPortable, kAvx2, kAvx512 };

// One version of the loops. `first` holds the 64 words of the pattern of the
// run's first sector; the i-th sector of the run holds the pattern of that
// offset plus 512 i, wrapping at 2^64 like the offsets themselves.
struct PatternKernels {
  KernelPath path;
  // Writes `sectors` sectors of the pattern to `words`.
  void (*fill)(uint64_t* words, const uint64_t* first, size_t sectors);
  // The number of leading sectors of `words`, at most `sectors`, that hold
  // their pattern exactly: the index of the first sector with any wrong bit.
  size_t (*matching)(const uint64_t* words, const uint64_t* first, size_t sectors);
  // The number of bits in which the sector `words` differs from `expected`.
  int32_t (*wrong_bits)(const uint64_t* words, const uint64_t* expected);
};

// 512 * A_k, k = 0..63: what word k grows by from one sector to the next.
struct alignas(64) PatternSectorStep {
  uint64_t word[64];
};
extern const PatternSectorStep kPatternSectorStep;

// Defined only in builds that compile the x86 versions (KALVEX_X86_KERNELS).
extern const PatternKernels kAvx2PatternKernels;
extern const PatternKernels kAvx512PatternKernels;

// The 64 words of the pattern of the sector at `offset`, computed word by
// word from the affine form.
void SectorPattern(uint64_t offset, uint64_t* words);
// Turns the pattern of the sector at P into that of the sector at P + 512.
void StepSectorPattern(uint64_t* words);

// The runs above, starting from an offset instead of its pattern.
void FillPatternRun(const PatternKernels& kernels, uint64_t* words, uint64_t offset,
                    size_t sectors);
size_t MatchingPatternRun(const PatternKernels& kernels, const uint64_t* words, uint64_t offset,
                          size_t sectors);

// "auto", "portable", "avx2", "avx512".
const char* KernelPathName(KernelPath path);
// Whether this build has the version.
bool KernelPathBuilt(KernelPath path);
// Whether this build has the version and this CPU and system run it. kAuto
// and kPortable always are.
bool KernelPathAvailable(KernelPath path);
// Makes `path` the version FillBlock and CheckBlock use from their next
// block on, in every engine of the process. Returns false, and changes
// nothing, when the version is not available. Meant for tests and benchmarks;
// a program has no reason to call it.
bool SetKernelPath(KernelPath path);
// The version in use, never kAuto.
KernelPath ActiveKernelPath();
const PatternKernels& ActivePatternKernels();

}  // namespace kalvex
