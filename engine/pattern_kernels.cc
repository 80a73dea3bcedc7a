// The affine form of the pattern, the portable loops and the choice of loops.

#include "engine/pattern_kernels.h"

#include <atomic>
#include <bit>
#include <cstring>

#include "engine/pattern.h"

namespace kalvex {

namespace {

constexpr unsigned kWords = 64;

// x(k) = a[k] * P + c[k]: x(0) = P gives a[0] = 1, c[0] = 0, and
// x(k) = x(k-1) * M + I gives a[k] = a[k-1] * M, c[k] = c[k-1] * M + I.
struct AffineForm {
  uint64_t a[kWords];
  uint64_t c[kWords];
};

constexpr AffineForm MakeAffineForm() {
  AffineForm f{};
  f.a[0] = 1;
  f.c[0] = 0;
  for (unsigned k = 1; k < kWords; ++k) {
    f.a[k] = f.a[k - 1] * kPatternMultiplier;
    f.c[k] = NextPatternWord(f.c[k - 1]);
  }
  return f;
}

constexpr AffineForm kAffine = MakeAffineForm();

constexpr bool AffineFormHoldsAt(uint64_t p) {
  for (unsigned k = 0; k < kWords; ++k)
    if (kAffine.a[k] * p + kAffine.c[k] != PatternWord(p, k)) return false;
  return true;
}
static_assert(AffineFormHoldsAt(0) && AffineFormHoldsAt(512) && AffineFormHoldsAt(0x140300E00) &&
              AffineFormHoldsAt(~uint64_t{0} - 511) && AffineFormHoldsAt(0x123456789ABCDEF1));

constexpr PatternSectorStep MakeSectorStep() {
  PatternSectorStep s{};
  for (unsigned k = 0; k < kWords; ++k) s.word[k] = kAffine.a[k] * 512;
  return s;
}
static_assert(MakeSectorStep().word[0] == 512);

// The portable loops take each next sector from the one before it, which is
// already in the cache: after a fill it was just written, and in a match it
// just proved to be its pattern. That keeps the running state out of memory
// and leaves the loops simple enough for any compiler to vectorize.

void FillPortable(uint64_t* words, const uint64_t* first, size_t sectors) {
  if (sectors == 0) return;
  // A local copy cannot alias the output, so no run-time overlap check.
  uint64_t step[kWords];
  std::memcpy(step, kPatternSectorStep.word, sizeof step);
  std::memcpy(words, first, kWords * sizeof(uint64_t));
  for (size_t i = 1; i < sectors; ++i) {
    uint64_t* out = words + i * kWords;
    const uint64_t* prev = out - kWords;
    for (unsigned k = 0; k < kWords; ++k) out[k] = prev[k] + step[k];
  }
}

size_t MatchingPortable(const uint64_t* words, const uint64_t* first, size_t sectors) {
  if (sectors == 0) return 0;
  uint64_t diff = 0;
  for (unsigned k = 0; k < kWords; ++k) diff |= words[k] ^ first[k];
  if (diff != 0) return 0;
  uint64_t step[kWords];
  std::memcpy(step, kPatternSectorStep.word, sizeof step);
  for (size_t i = 1; i < sectors; ++i) {
    const uint64_t* in = words + i * kWords;
    const uint64_t* prev = in - kWords;
    for (unsigned k = 0; k < kWords; ++k) diff |= in[k] ^ (prev[k] + step[k]);
    if (diff != 0) return i;
  }
  return sectors;
}

int32_t WrongBitsPortable(const uint64_t* words, const uint64_t* expected) {
  int32_t total = 0;
#if defined(__x86_64__) && !defined(__POPCNT__)
  // Baseline x86-64 has no POPCNT, and std::popcount becomes a library call
  // per word; adding up the bits in parallel within the word is several
  // times faster.
  for (unsigned k = 0; k < kWords; ++k) {
    uint64_t x = words[k] ^ expected[k];
    x -= (x >> 1) & 0x5555555555555555;
    x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
    total += static_cast<int32_t>((x * 0x0101010101010101) >> 56);
  }
#else
  for (unsigned k = 0; k < kWords; ++k) total += std::popcount(words[k] ^ expected[k]);
#endif
  return total;
}

const PatternKernels kPortableKernels = {KernelPath::kPortable, &FillPortable, &MatchingPortable,
                                         &WrongBitsPortable};

const PatternKernels* BuiltKernels(KernelPath path) {
  switch (path) {
    case KernelPath::kPortable:
      return &kPortableKernels;
#if KALVEX_X86_KERNELS
    case KernelPath::kAvx2:
      return &kAvx2PatternKernels;
    case KernelPath::kAvx512:
      return &kAvx512PatternKernels;
#endif
    default:
      return nullptr;
  }
}

// Whether the CPU, and the system's saving of vector registers, allow the
// instructions. The compiler's check covers both. The wider loops also count
// bits with POPCNT, which every CPU with AVX2 has, unless a virtual machine
// hides it.
bool CpuRuns(KernelPath path) {
#if KALVEX_X86_KERNELS
  __builtin_cpu_init();
  switch (path) {
    case KernelPath::kAvx2:
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    case KernelPath::kAvx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("popcnt");
    default:
      break;
  }
#endif
  return path == KernelPath::kPortable;
}

const PatternKernels* Widest() {
  static const PatternKernels* const widest = [] {
    for (KernelPath path : {KernelPath::kAvx512, KernelPath::kAvx2})
      if (BuiltKernels(path) != nullptr && CpuRuns(path)) return BuiltKernels(path);
    return &kPortableKernels;
  }();
  return widest;
}

// Null until a path is set: the widest one then.
std::atomic<const PatternKernels*> g_chosen{nullptr};

}  // namespace

constinit const PatternSectorStep kPatternSectorStep = MakeSectorStep();

void SectorPattern(uint64_t offset, uint64_t* words) {
  for (unsigned k = 0; k < kWords; ++k) words[k] = kAffine.a[k] * offset + kAffine.c[k];
}

void StepSectorPattern(uint64_t* words) {
  for (unsigned k = 0; k < kWords; ++k) words[k] += kPatternSectorStep.word[k];
}

void FillPatternRun(const PatternKernels& kernels, uint64_t* words, uint64_t offset,
                    size_t sectors) {
  alignas(64) uint64_t first[kWords];
  SectorPattern(offset, first);
  kernels.fill(words, first, sectors);
}

size_t MatchingPatternRun(const PatternKernels& kernels, const uint64_t* words, uint64_t offset,
                          size_t sectors) {
  alignas(64) uint64_t first[kWords];
  SectorPattern(offset, first);
  return kernels.matching(words, first, sectors);
}

const char* KernelPathName(KernelPath path) {
  switch (path) {
    case KernelPath::kAuto:
      return "auto";
    case KernelPath::kPortable:
      return "portable";
    case KernelPath::kAvx2:
      return "avx2";
    case KernelPath::kAvx512:
      return "avx512";
  }
  return "?";
}

bool KernelPathBuilt(KernelPath path) {
  return path == KernelPath::kAuto || BuiltKernels(path) != nullptr;
}

bool KernelPathAvailable(KernelPath path) {
  if (path == KernelPath::kAuto) return true;
  return BuiltKernels(path) != nullptr && CpuRuns(path);
}

bool SetKernelPath(KernelPath path) {
  if (!KernelPathAvailable(path)) return false;
  g_chosen.store(path == KernelPath::kAuto ? nullptr : BuiltKernels(path),
                 std::memory_order_release);
  return true;
}

const PatternKernels& ActivePatternKernels() {
  const PatternKernels* chosen = g_chosen.load(std::memory_order_acquire);
  return chosen != nullptr ? *chosen : *Widest();
}

KernelPath ActiveKernelPath() { return ActivePatternKernels().path; }

}  // namespace kalvex
