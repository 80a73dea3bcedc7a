// A deliberately plain model of how a verify pass judges the sectors it
// reads back, for checking the engine (the fuzzer) and for telling in
// advance what a run over a simulated medium must report (the predictor).
// It shares nothing with the engine: its own pattern generator, its own
// wrong-bit count, a std::set for the aliased offsets and a "lowest offset
// wins" first error, so that a slip in the engine's shortcuts (one pass over
// the words, first-seen instead of lowest, runs of aliased sectors added as
// ranges) cannot hide in both.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <set>

namespace kalvex::reference {

constexpr uint64_t kSectorBytes = 512;
constexpr unsigned kSectorWords = 64;
// Seven wrong bits are still a slight change; eight are corruption.
constexpr int kCorruptedFrom = 8;

using SectorWords = std::array<uint64_t, kSectorWords>;

// Word k of the sector whose pattern starts at seed: x(0) = seed,
// x(k) = x(k-1) * 0x10000000F + 17 (mod 2^64).
constexpr uint64_t PatternWord(uint64_t seed, unsigned k) {
  uint64_t x = seed;
  for (unsigned i = 0; i < k; ++i) x = x * 0x10000000FULL + 17;
  return x;
}

inline SectorWords Pattern(uint64_t seed) {
  SectorWords words;
  for (unsigned k = 0; k < kSectorWords; ++k) words[k] = PatternWord(seed, k);
  return words;
}

// The medium keeps words little-endian; a byte-by-byte assembly keeps the
// model right on any host and independent of the buffer's alignment.
inline SectorWords WordsOfBytes(const unsigned char* bytes) {
  SectorWords words;
  for (unsigned k = 0; k < kSectorWords; ++k) {
    uint64_t w = 0;
    for (unsigned i = 0; i < 8; ++i) w |= uint64_t{bytes[8 * k + i]} << (8 * i);
    words[k] = w;
  }
  return words;
}

// How many bits of a sector read back differ from the pattern of seed.
inline int WrongBits(const uint64_t* read, uint64_t seed) {
  const SectorWords expected = Pattern(seed);
  int bits = 0;
  for (unsigned k = 0; k < kSectorWords; ++k) bits += std::popcount(read[k] ^ expected[k]);
  return bits;
}

enum class SectorClass { kOk, kOverwritten, kSlightlyChanged, kCorrupted };

struct Verdict {
  SectorClass kind = SectorClass::kOk;
  int wrong_bits = 0;    // against the sector's own offset
  uint64_t claimed = 0;  // word 0 as read; the aliased offset when overwritten
};

// A sector whose word 0 names another aligned offset and whose every word is
// that offset's pattern is intact data of another place: overwritten. Any
// other difference is damage where the sector is.
inline Verdict Classify(const uint64_t* read, uint64_t p) {
  Verdict verdict;
  verdict.wrong_bits = WrongBits(read, p);
  verdict.claimed = read[0];
  if (verdict.wrong_bits == 0) return verdict;
  const uint64_t s = read[0];
  if (s == p || s % kSectorBytes != 0 || WrongBits(read, s) != 0) {
    verdict.kind =
        verdict.wrong_bits < kCorruptedFrom ? SectorClass::kSlightlyChanged : SectorClass::kCorrupted;
  } else {
    verdict.kind = SectorClass::kOverwritten;
  }
  return verdict;
}

struct FirstError {
  bool taken = false;
  uint64_t offset = 0;  // byte offset of the word in the test data
  uint64_t expected = 0;
  uint64_t found = 0;
};

// The figures of one verify pass, fed sector by sector.
struct PassTally {
  uint64_t ok = 0;
  uint64_t overwritten = 0;
  uint64_t slightly_changed = 0;
  uint64_t corrupted = 0;
  std::set<uint64_t> aliased;
  FirstError first;

  // Sectors may come in any order: the first error is the lowest offset
  // seen, not the first one met.
  void Sector(const uint64_t* read, uint64_t p) {
    for (unsigned k = 0; k < kSectorWords; ++k) {
      const uint64_t expected = PatternWord(p, k);
      const uint64_t at = p + 8 * k;
      if (read[k] != expected && (!first.taken || at < first.offset))
        first = FirstError{true, at, expected, read[k]};
    }
    const Verdict verdict = Classify(read, p);
    switch (verdict.kind) {
      case SectorClass::kOk: ++ok; break;
      case SectorClass::kSlightlyChanged: ++slightly_changed; break;
      case SectorClass::kCorrupted: ++corrupted; break;
      case SectorClass::kOverwritten:
        ++overwritten;
        aliased.insert(verdict.claimed);
        break;
    }
  }

  void SectorBytes(const unsigned char* bytes, uint64_t p) {
    const SectorWords words = WordsOfBytes(bytes);
    Sector(words.data(), p);
  }
};

}  // namespace kalvex::reference
