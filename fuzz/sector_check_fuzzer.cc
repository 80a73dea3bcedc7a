// Fuzzes CTestEngine::CheckBlock against the deliberately slow model of the
// sector rules in tools/reference/sector_model.h, on every version of the
// pattern loops the CPU runs (one engine each, over the same blocks). The
// model shares nothing with the engine but the buffer it reads, so a slip in
// the engine's shortcuts (one pass over the words, runs of aliased sectors
// added as ranges) cannot hide in both.
//
// Input layout: bytes are read from the front, little-endian, and every read
// past the end yields zero, so any byte string is a valid input.
//   u8 blocks (1 + n % 3)
//   per block:
//     u8 flags: bit 0 starts a new verify pass before this block (not for the
//        first); bits 1.. pick how the block offset is chosen (see
//        ChooseOffset). Later blocks of a pass go up by (1 + u8) MiB instead.
//     u8 segments (n % 17), each: u16 first sector, u16 length, u8 kind and
//        the kind's parameters (see PaintSegment). Unpainted sectors hold
//        their own pattern.
//     u8 flips (n % 33), each: u16 sector, u16 bit, u8 run length (1 + n % 8)
//        of consecutive bits inverted.
// fuzz/make_corpus.py writes the seeds in this layout.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/engine.h"
#include "engine/pattern_kernels.h"
#include "engine/types.h"
#include "tools/reference/sector_model.h"

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kSector = 512;
constexpr unsigned kWords = kalvex::reference::kSectorWords;
constexpr unsigned kSectors = 2048;
static_assert(kalvex::kBlockSize == kSectors * kSector && kalvex::kWordsPerSector == kWords &&
                  kalvex::reference::kSectorBytes == kSector,
              "the model's geometry must be the engine's");
// The highest 1 MiB-aligned block start whose block still ends within 2^64.
constexpr uint64_t kTopBlock = ~uint64_t{0} - kMiB + 1;
// The aliased set keeps sector numbers in bitmaps of 2^32 each; claims on
// either side of the first such edge are worth aiming at.
constexpr uint64_t kSectorNumberEdge = uint64_t{1} << 41;

using Words = kalvex::reference::SectorWords;
using kalvex::reference::Pattern;
using Model = kalvex::reference::PassTally;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  uint8_t U8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
  uint64_t Bytes(unsigned n) {
    uint64_t v = 0;
    for (unsigned i = 0; i < n; ++i) v |= uint64_t{U8()} << (8 * i);
    return v;
  }
  uint16_t U16() { return static_cast<uint16_t>(Bytes(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Bytes(4)); }
  uint64_t U64() { return Bytes(8); }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

uint64_t ChooseOffset(unsigned mode, Input& in) {
  switch (mode % 6) {
    case 0: return uint64_t{in.U8()} * kMiB;
    case 1: return kTopBlock - uint64_t{in.U8()} * kMiB;
    case 2: return in.U64() & ~(kMiB - 1);
    case 3: return kSectorNumberEdge + static_cast<int8_t>(in.U8()) * static_cast<int64_t>(kMiB);
    case 4: return (uint64_t{1} << 63) + static_cast<int8_t>(in.U8()) * static_cast<int64_t>(kMiB);
    default: return uint64_t{in.U32()} * kMiB;  // the sizes real media have
  }
}

uint64_t SplitMix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

void Store(uint64_t* sector, const Words& w) { std::memcpy(sector, w.data(), kSector); }

// What a segment's sectors hold. Numbered as in fuzz/make_corpus.py.
enum Kind : unsigned {
  kOwn,             // intact
  kShifted,         // intact data of the sector a fixed number of sectors away
  kShiftedAnyhow,   // the pattern of any offset at a fixed distance, mostly unaligned
  kFixedClaim,      // the same other sector's data in every sector
  kUnaligned,       // the pattern of an unaligned offset near the sector
  kZeros,
  kOnes,
  kRandom,
  kOwnDataForeignClaim,
  kForeignDataOwnClaim,
  kKinds
};

void PaintSegment(uint64_t* block, uint64_t block_offset, uint64_t pass_start, Input& in) {
  const unsigned first = in.U16() % kSectors;
  const unsigned wanted = 1 + in.U16() % kSectors;
  const unsigned end = first + wanted < kSectors ? first + wanted : kSectors;
  const unsigned kind = in.U8() % kKinds;
  // Parameters are read once per segment, so every sector of it shares them:
  // a constant shift makes runs of consecutive claims, a fixed claim makes
  // many sectors, also of other blocks, claim the same offset.
  const int64_t near_step = static_cast<int16_t>(in.U16()) * static_cast<int64_t>(kSector);
  uint64_t param = 0;
  switch (kind) {
    case kShifted:
      param = static_cast<uint64_t>(static_cast<int32_t>(in.U32()) * static_cast<int64_t>(kSector));
      break;
    case kShiftedAnyhow:
    case kRandom:
      param = in.U64();
      break;
    case kFixedClaim: {
      const uint64_t bases[] = {0,
                                kSector,
                                kMiB,
                                kSectorNumberEdge - kSector,
                                kSectorNumberEdge,
                                uint64_t{1} << 63,
                                ~uint64_t{0} - kSector + 1,
                                block_offset,
                                pass_start};
      param = bases[in.U8() % std::size(bases)] + uint64_t{in.U8()} * kSector;
      break;
    }
    case kUnaligned:
      param = 1 + in.U16() % (kSector - 1);
      break;
    default:
      break;
  }
  for (unsigned i = first; i < end; ++i) {
    uint64_t* sector = block + uint64_t{i} * kWords;
    const uint64_t p = block_offset + uint64_t{i} * kSector;
    const uint64_t near = p + static_cast<uint64_t>(near_step);
    switch (kind) {
      case kOwn: Store(sector, Pattern(p)); break;
      case kShifted:
      case kShiftedAnyhow: Store(sector, Pattern(p + param)); break;
      case kFixedClaim: Store(sector, Pattern(param)); break;
      case kUnaligned: Store(sector, Pattern(near + param)); break;
      case kZeros: std::memset(sector, 0, kSector); break;
      case kOnes: std::memset(sector, 0xFF, kSector); break;
      case kRandom:
        for (unsigned k = 0; k < kWords; ++k) sector[k] = SplitMix(param ^ (p + 8 * k));
        break;
      case kOwnDataForeignClaim: {
        Words w = Pattern(p);
        w[0] = near;
        Store(sector, w);
        break;
      }
      default: {
        Words w = Pattern(near);
        w[0] = p;
        Store(sector, w);
        break;
      }
    }
  }
}

void Flip(uint64_t* block, Input& in) {
  uint64_t* sector = block + uint64_t{in.U16() % kSectors} * kWords;
  const unsigned start = in.U16() % (kWords * 64);
  const unsigned length = 1 + in.U8() % 8;
  for (unsigned i = 0; i < length; ++i) {
    const unsigned bit = (start + i) % (kWords * 64);
    sector[bit / 64] ^= uint64_t{1} << (bit % 64);
  }
}

// The path of the engine being compared, for the report.
const char* g_path = "";

[[noreturn]] void Mismatch(const char* what, uint64_t block, uint64_t model, uint64_t engine) {
  std::fprintf(stderr,
               "sector check (%s loops) differs from the model after the block at %llu: %s: "
               "model %llu (0x%llx), engine %llu (0x%llx)\n",
               g_path, static_cast<unsigned long long>(block), what,
               static_cast<unsigned long long>(model), static_cast<unsigned long long>(model),
               static_cast<unsigned long long>(engine), static_cast<unsigned long long>(engine));
  std::abort();
}

void Expect(const char* what, uint64_t block, uint64_t model, uint64_t engine) {
  if (model != engine) Mismatch(what, block, model, engine);
}

void Compare(const Model& model, const kalvex::CTestEngine& engine, uint64_t block,
             const char* path) {
  g_path = path;
  const kalvex::RunStatus status = engine.CopyStatus();
  Expect("ok sectors", block, model.ok, status.m_okSectors);
  Expect("overwritten sectors", block, model.overwritten, status.m_overwrittenSectors);
  Expect("slightly changed sectors", block, model.slightly_changed, status.m_changedSectors);
  Expect("corrupted sectors", block, model.corrupted, status.m_corruptedSectors);
  Expect("aliased count", block, model.aliased.size(), status.m_aliasedCount);
  Expect("aliased set size", block, model.aliased.size(), engine.AliasedOffsets().Count());
  // Equal sizes and the model's set inside the engine's make the two equal.
  for (uint64_t s : model.aliased)
    if (!engine.AliasedOffsets().ContainsOffset(s)) Mismatch("aliased offset missing", block, s, 0);
  Expect("first error taken", block, model.first.taken, status.m_firstError.taken);
  if (model.first.taken) {
    Expect("first error offset", block, model.first.offset, status.m_firstError.offset);
    Expect("first error expected", block, model.first.expected, status.m_firstError.expected);
    Expect("first error found", block, model.first.found, status.m_firstError.found);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using kalvex::KernelPath;
  Input in(data, size);
  // New engines per input start from the state a verify pass starts from,
  // and nothing one input leaves behind can reach the next.
  constexpr KernelPath kPaths[] = {KernelPath::kPortable, KernelPath::kAvx2, KernelPath::kAvx512};
  kalvex::CTestEngine engines[std::size(kPaths)];
  for (kalvex::CTestEngine& engine : engines)
    if (!engine.BlockBufferAvailable()) return 0;
  kalvex::CTestEngine& engine = engines[0];
  uint64_t* block = reinterpret_cast<uint64_t*>(engine.Buffer());
  Model model;

  const unsigned blocks = 1 + in.U8() % 3;
  uint64_t offset = 0;
  uint64_t pass_start = 0;
  for (unsigned n = 0; n < blocks; ++n) {
    const uint8_t flags = in.U8();
    const bool new_pass = n > 0 && (flags & 1) != 0;
    if (new_pass) {
      // No target is prepared, so the pass stops right after its reset,
      // without touching any file: the engine's own way back to zero.
      for (kalvex::CTestEngine& e : engines) (void)e.VerifyPass();
      model = Model();
    }
    if (n == 0 || new_pass) {
      offset = ChooseOffset(flags >> 1, in);
      pass_start = offset;
    } else {
      // A pass reads its blocks in ascending order and never wraps.
      const uint64_t step = (1 + uint64_t{in.U8()}) * kMiB;
      if (step > kTopBlock - offset) break;
      offset += step;
    }

    for (unsigned i = 0; i < kSectors; ++i)
      Store(block + uint64_t{i} * kWords, Pattern(offset + uint64_t{i} * kSector));
    const unsigned segments = in.U8() % 17;
    for (unsigned i = 0; i < segments; ++i) PaintSegment(block, offset, pass_start, in);
    const unsigned flips = in.U8() % 33;
    for (unsigned i = 0; i < flips; ++i) Flip(block, in);

    for (unsigned i = 0; i < kSectors; ++i)
      model.Sector(block + uint64_t{i} * kWords, offset + uint64_t{i} * kSector);
    for (size_t i = 0; i < std::size(kPaths); ++i) {
      if (!kalvex::SetKernelPath(kPaths[i])) continue;
      if (i > 0) std::memcpy(engines[i].Buffer(), block, kalvex::kBlockSize);
      engines[i].CheckBlock(offset);
      Compare(model, engines[i], offset, kalvex::KernelPathName(kPaths[i]));
    }
  }
  kalvex::SetKernelPath(KernelPath::kAuto);
  return 0;
}
