// The capacity probe without a device: where it writes, how it reads what
// comes back, its backup file, and whole runs over media that live in
// memory and lie the way fake media do.
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <random>
#include <unordered_map>

#include "cli/probe/backup_file.h"
#include "cli/probe/plan.h"
#include "cli/probe/prober.h"
#include "cli/probe/restore.h"
#include "cli/probe/sector_kind.h"
#include "tests/support/support.h"

namespace kalvex::probe {
namespace {

using kalvex::testing::kMiB;
using kalvex::testing::RefSectorBytes;

constexpr uint64_t kSector = 512;

// --- Where it writes ---

TEST(ProbePlanTest, LayoutGrowsItsBlocksOnlyForHugeDevices) {
  const Layout small = ChooseLayout(256 * kMiB, 512);
  EXPECT_EQ(small.block, 64u * 1024);
  EXPECT_EQ(small.coarse_count, 256u);
  EXPECT_EQ(small.align, 4096u);
  const Layout stick = ChooseLayout(64'000'000'000ULL, 512);
  EXPECT_EQ(stick.block, 64u * 1024);
  EXPECT_EQ(stick.coarse_count, 953u);
  const Layout disk = ChooseLayout(4'000'000'000'000ULL, 4096);
  EXPECT_EQ(disk.coarse_count, 2048u);
  EXPECT_LE(disk.claimed / disk.coarse_count / disk.block, 4096u);
  EXPECT_EQ(disk.sector, 4096u);
  const Layout tiny = ChooseLayout(kMiB, 512);
  EXPECT_GE(tiny.coarse_count, 2u);
  EXPECT_LE(tiny.coarse_count * tiny.block * 2, kMiB);
}

TEST(ProbePlanTest, CoarseRoundSpansTheWholeDeviceEvenly) {
  for (const uint64_t claimed : {uint64_t{256 * kMiB}, uint64_t{64'000'000'000ULL},
                                 uint64_t{15'931'539'456ULL + 512}}) {
    const Layout layout = ChooseLayout(claimed, 512);
    const Round round = CoarseRound(layout, 4 * kMiB);
    ASSERT_EQ(round.positions.size(), layout.coarse_count) << claimed;
    EXPECT_EQ(round.positions.front().offset, 0u);
    EXPECT_EQ(round.positions.back().end(), claimed);
    for (size_t i = 1; i < round.positions.size(); ++i) {
      const Extent& p = round.positions[i];
      EXPECT_LE(p.offset - round.positions[i - 1].offset, round.spacing + layout.align);
      EXPECT_GE(p.offset, round.positions[i - 1].end());
      if (i + 1 < round.positions.size()) {
        EXPECT_EQ(p.offset % layout.align, 0u);
      }
    }
  }
}

// Any write of a position's length landing at an offset below the reach
// covers a sector that the round writes after the positions, or a position.
void ExpectCaught(const Layout& layout, const Round& round, uint64_t reach, uint64_t length) {
  RangeSet written;
  for (const Extent& e : round.sentinel) written.Add(e.offset, e.end());
  std::mt19937_64 random(7);
  for (int i = 0; i < 2000; ++i) {
    const uint64_t x = random() % (reach / kSector) * kSector;
    bool caught = false;
    for (uint64_t at = x; at < x + length && !caught; at += kSector) caught = written.Contains(at);
    for (const Extent& p : round.positions)
      caught = caught || (p.offset < x + length && x < p.end());
    ASSERT_TRUE(caught) << "landing at " << x << " of reach " << reach;
  }
  (void)layout;
}

TEST(ProbePlanTest, SentinelCatchesEveryWrapOfTheFirstPositionBeyond) {
  for (const uint64_t claimed : {uint64_t{256 * kMiB}, uint64_t{64'000'000'000ULL}}) {
    const Layout layout = ChooseLayout(claimed, 512);
    const Round round = CoarseRound(layout, 4 * kMiB);
    ExpectCaught(layout, round, round.spacing, layout.block);
    uint64_t volume = 0;
    for (const Extent& e : round.sentinel) {
      volume += e.length;
      EXPECT_EQ(e.offset % layout.block, 0u);
    }
    EXPECT_GE(volume + 4 * layout.block, 4 * kMiB) << "padding behind the positions";
    EXPECT_LE(volume, 16 * kMiB);
  }
}

TEST(ProbePlanTest, NarrowingRoundStaysBetweenTheBoundsWithItsOwnSentinel) {
  const Layout layout = ChooseLayout(64'000'000'000ULL, 512);
  const uint64_t low = 16'000'000'000ULL - 40 * kMiB, high = low + 67 * kMiB + 512;
  const Round round = NarrowingRound(layout, low, high, 4 * kMiB, 15);
  ASSERT_EQ(round.positions.size(), 15u);
  EXPECT_LE(round.positions.front().offset, low);
  EXPECT_GT(round.positions.front().end(), low);
  EXPECT_GE(round.positions.back().end(), high - round.spacing);
  for (const Extent& p : round.positions) EXPECT_LE(p.offset, high);
  ExpectCaught(layout, round, high - low, layout.block);

  // Narrow enough: the positions lie side by side.
  const Round fine = NarrowingRound(layout, low, low + 40 * 1024, 4 * kMiB, 15);
  ASSERT_EQ(fine.positions.size(), 10u);
  for (size_t i = 1; i < fine.positions.size(); ++i)
    EXPECT_EQ(fine.positions[i].offset, fine.positions[i - 1].end());
  ExpectCaught(layout, fine, 40 * 1024, fine.positions.front().length);
}

TEST(ProbePlanTest, RangeSetMergesAndFindsGaps) {
  RangeSet set;
  set.Add(100, 200);
  set.Add(300, 400);
  set.Add(150, 310);
  set.Add(500, 600);
  EXPECT_EQ(set.Bytes(), 400u);
  EXPECT_TRUE(set.Contains(100));
  EXPECT_TRUE(set.Contains(399));
  EXPECT_FALSE(set.Contains(400));
  EXPECT_FALSE(set.Contains(99));
  const std::vector<Extent> gaps = set.Missing(50, 700);
  EXPECT_EQ(gaps, (std::vector<Extent>{{50, 50}, {400, 100}, {600, 100}}));
  EXPECT_TRUE(set.Missing(120, 380).empty());
}

TEST(ProbePlanTest, FindingsBoundTheCapacityFromBothSides) {
  Findings findings(1000 * kSector);
  EXPECT_EQ(findings.Intact(), 0u);
  findings.Kept(0, 100 * kSector);
  findings.Kept(700 * kSector, 800 * kSector);  // beyond a wrap: not counted
  findings.Lost(300 * kSector, Fault::kDrop);
  findings.Lost(500 * kSector, Fault::kWrap);
  EXPECT_EQ(findings.Bound(), 300 * kSector);
  EXPECT_EQ(findings.FaultAtBound(), Fault::kDrop);
  EXPECT_EQ(findings.Intact(), 100 * kSector);
  findings.Kept(200 * kSector, 400 * kSector);
  EXPECT_EQ(findings.Intact(), 300 * kSector);
}

// --- What comes back ---

TEST(ProbeSectorTest, ClassifiesOwnForeignFilledAndDamagedSectors) {
  std::array<uint64_t, 64> words;
  auto load = [&words](uint64_t offset) {
    const std::vector<uint8_t> bytes = RefSectorBytes(offset);
    std::memcpy(words.data(), bytes.data(), kSector);
  };
  load(4096);
  EXPECT_EQ(ClassifySector(words.data(), 4096).kind, SectorKind::kOwn);
  const SectorReading foreign = ClassifySector(words.data(), 4096 + 64 * kMiB);
  EXPECT_EQ(foreign.kind, SectorKind::kForeign);
  EXPECT_EQ(foreign.foreign, 4096u);
  words[17] ^= 1;
  EXPECT_EQ(ClassifySector(words.data(), 4096).kind, SectorKind::kGarbage);
  EXPECT_EQ(ClassifySector(words.data(), 8192).kind, SectorKind::kGarbage);
  words.fill(0);
  EXPECT_EQ(ClassifySector(words.data(), 0).kind, SectorKind::kZeros);
  EXPECT_EQ(ClassifySector(words.data(), 512).kind, SectorKind::kZeros);
  words.fill(~uint64_t{0});
  EXPECT_EQ(ClassifySector(words.data(), 512).kind, SectorKind::kOnes);
}

// --- The backup file ---

class MemoryBackup : public BackupSink {
 public:
  explicit MemoryBackup(const BackupHeader& header) : m_bytes(EncodeHeader(header)) {}
  int Save(const Extent& extent, const uint8_t* data) override {
    if (m_failAt != 0 && m_bytes.size() > m_failAt) return ENOSPC;
    m_bytes += EncodeRecordHead(extent.offset, data, static_cast<uint32_t>(extent.length));
    m_bytes.append(reinterpret_cast<const char*>(data), extent.length);
    ++m_records;
    return 0;
  }
  int Commit() override {
    m_bytes += EncodeCommitMark(m_records);
    return 0;
  }
  std::string& bytes() { return m_bytes; }
  void FailAfter(size_t bytes) { m_failAt = bytes; }
  FileReader Reader() const {
    return [this](uint64_t position, void* data, size_t size) {
      if (position + size > m_bytes.size()) return EIO;
      std::memcpy(data, m_bytes.data() + position, size);
      return 0;
    };
  }
  BackupContents Parse() const { return ParseBackup(m_bytes.size(), Reader()); }

 private:
  std::string m_bytes;
  uint64_t m_records = 0;
  size_t m_failAt = 0;
};

const BackupHeader kHeader{"/dev/sdz", 256 * kMiB, "Acme Stick 3.0", 512};

std::vector<uint8_t> Bytes(uint8_t seed, size_t size) {
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(seed + i * 31);
  return data;
}

TEST(ProbeBackupFileTest, HeaderNamesTheDeviceAndRecordsComeBackInOrder) {
  MemoryBackup backup(kHeader);
  EXPECT_EQ(backup.bytes().rfind("KALVEX PROBE BACKUP 1\ndevice /dev/sdz\nsize 268435456\n"
                                 "model Acme Stick 3.0\nsector 512\n\n",
                                 0),
            0u);
  backup.Save({4096, 4096}, Bytes(1, 4096).data());
  backup.Save({0, 512}, Bytes(2, 512).data());
  backup.Commit();
  backup.Save({8192, 1024}, Bytes(3, 1024).data());
  backup.Commit();
  const BackupContents contents = backup.Parse();
  ASSERT_EQ(contents.error, "");
  EXPECT_EQ(contents.header, kHeader);
  ASSERT_EQ(contents.records.size(), 3u);
  EXPECT_EQ(contents.records[0].extent, (Extent{4096, 4096}));
  EXPECT_EQ(contents.records[1].extent, (Extent{0, 512}));
  EXPECT_EQ(contents.records[2].extent, (Extent{8192, 1024}));
  EXPECT_EQ(contents.uncommitted, 0u);
  std::vector<uint8_t> data(1024);
  ASSERT_EQ(backup.Reader()(contents.records[2].position, data.data(), 1024), 0);
  EXPECT_EQ(data, Bytes(3, 1024));
}

TEST(ProbeBackupFileTest, ABatchCutShortByACrashIsIgnored) {
  MemoryBackup backup(kHeader);
  backup.Save({0, 4096}, Bytes(1, 4096).data());
  backup.Commit();
  backup.Save({4096, 4096}, Bytes(2, 4096).data());
  backup.Save({8192, 4096}, Bytes(3, 4096).data());
  backup.bytes().resize(backup.bytes().size() - 100);
  const BackupContents contents = backup.Parse();
  EXPECT_EQ(contents.error, "");
  EXPECT_EQ(contents.records.size(), 1u);
  EXPECT_EQ(contents.uncommitted, 1u);
}

TEST(ProbeBackupFileTest, DamageBeforeTheLastCommitMakesTheFileUnusable) {
  MemoryBackup backup(kHeader);
  backup.Save({0, 4096}, Bytes(1, 4096).data());
  backup.Commit();
  backup.Save({4096, 4096}, Bytes(2, 4096).data());
  backup.Commit();
  backup.bytes()[backup.bytes().find("KVXR") + 24 + 100] ^= 0x40;
  EXPECT_EQ(backup.Parse().error, "damaged");

  MemoryBackup other(kHeader);
  other.bytes().replace(0, 6, "KALVIX");
  EXPECT_EQ(other.Parse().error, "not a probe backup");
  MemoryBackup partial(BackupHeader{"/dev/sdz", 0, "", 512});
  partial.bytes().erase(partial.bytes().find("size"), 7);
  EXPECT_EQ(partial.Parse().error, "header incomplete");
}

// --- Whole runs over media in memory ---

// A medium of claimed bytes that keeps real bytes: honest, wrapping (A lands
// on A mod real), dropping (writes lost, reads 0x00 or 0xFF), or failing
// beyond real. Bytes never written hold a content that follows from their
// place, like a used stick. Optionally a cache in the device answers reads
// of the last cache_bytes written, whatever the flash kept.
class MemoryMedium : public BlockMedium {
 public:
  enum class Mode { kHonest, kWrap, kDropZero, kDropOnes, kFail };

  MemoryMedium(uint64_t claimed, uint64_t real, Mode mode, uint64_t cache_bytes = 0)
      : m_claimed(claimed), m_real(real), m_mode(mode), m_cacheSectors(cache_bytes / kSector) {}

  uint64_t Size() const override { return m_claimed; }
  uint32_t LogicalBlockSize() const override { return 512; }

  int Read(uint64_t offset, void* data, size_t size) override {
    ++m_requests;
    if (m_gone) return EIO;
    auto* out = static_cast<uint8_t*>(data);
    if (m_mode == Mode::kFail && offset + size > m_real) return EIO;
    for (uint64_t at = offset; at < offset + size; at += kSector, out += kSector) {
      if (auto cached = m_cache.find(at); cached != m_cache.end()) {
        std::memcpy(out, cached->second.data(), kSector);
      } else if (const std::optional<uint64_t> place = Place(at)) {
        ContentAt(*place, out);
      } else {
        std::memset(out, m_mode == Mode::kDropOnes ? 0xFF : 0x00, kSector);
      }
    }
    return 0;
  }

  int Write(uint64_t offset, const void* data, size_t size) override {
    ++m_requests;
    if (m_gone) return EIO;
    if (m_mode == Mode::kFail && offset + size > m_real) return EIO;
    const auto* in = static_cast<const uint8_t*>(data);
    for (uint64_t at = offset; at < offset + size; at += kSector, in += kSector) {
      Sector sector;
      std::memcpy(sector.data(), in, kSector);
      if (m_cacheSectors > 0) {
        m_cache[at] = sector;
        m_cacheOrder.push_back(at);
        while (m_cacheOrder.size() > m_cacheSectors) {
          m_cache.erase(m_cacheOrder.front());
          m_cacheOrder.pop_front();
        }
      }
      if (const std::optional<uint64_t> place = Place(at)) m_store[*place] = sector;
      if (++m_writesSeen == m_vanishAfterWrites) m_gone = true;
    }
    return 0;
  }

  int Flush() override { return m_gone ? EIO : 0; }

  // Where offset's bytes live, or none when they are lost.
  std::optional<uint64_t> Place(uint64_t offset) const {
    if (offset < m_real) return offset;
    if (m_mode == Mode::kWrap) return offset % m_real;
    return std::nullopt;
  }

  static void Original(uint64_t place, uint8_t* out) {
    uint64_t x = place * 0x9E3779B97F4A7C15ULL + 1;
    for (size_t i = 0; i < kSector; i += 8) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      std::memcpy(out + i, &x, 8);
    }
  }

  // Every place the probe wrote holds its original bytes again.
  uint64_t PlacesNotRestored() const {
    uint64_t wrong = 0;
    uint8_t expected[kSector];
    for (const auto& [place, sector] : m_store) {
      Original(place, expected);
      if (std::memcmp(expected, sector.data(), kSector) != 0) ++wrong;
    }
    return wrong;
  }
  uint64_t PlacesTouched() const { return m_store.size(); }
  uint64_t Requests() const { return m_requests; }
  void VanishAfterWrites(uint64_t sectors) { m_vanishAfterWrites = sectors; }
  void ComeBack() {
    m_gone = false;
    m_vanishAfterWrites = 0;
  }

 private:
  using Sector = std::array<uint8_t, kSector>;
  void ContentAt(uint64_t place, uint8_t* out) const {
    if (auto it = m_store.find(place); it != m_store.end())
      std::memcpy(out, it->second.data(), kSector);
    else
      Original(place, out);
  }

  uint64_t m_claimed, m_real;
  Mode m_mode;
  uint64_t m_cacheSectors;
  std::unordered_map<uint64_t, Sector> m_store;
  std::unordered_map<uint64_t, Sector> m_cache;
  std::deque<uint64_t> m_cacheOrder;
  uint64_t m_requests = 0;
  uint64_t m_writesSeen = 0;
  uint64_t m_vanishAfterWrites = 0;
  bool m_gone = false;
};

using Mode = MemoryMedium::Mode;

struct Outcome {
  ProbeReport probe;
  RestoreReport restore;
};

Outcome ProbeAndRestore(MemoryMedium& medium, ProbeSettings settings = {}) {
  MemoryBackup backup(BackupHeader{"/dev/mem", medium.Size(), "", 512});
  Prober prober(medium, backup, nullptr, settings);
  Outcome outcome;
  outcome.probe = prober.Run();
  const BackupContents contents = backup.Parse();
  EXPECT_EQ(contents.error, "");
  outcome.restore = Restore(medium, contents, backup.Reader());
  return outcome;
}

// Within one step below the real capacity, never above it.
void ExpectCapacity(const ProbeReport& report, uint64_t real) {
  EXPECT_LE(report.intact, real);
  EXPECT_LE(real - report.intact, report.step) << "intact " << report.intact;
}

TEST(ProbeRunTest, HonestMediumIsGenuineAndGetsItsBytesBack) {
  MemoryMedium medium(256 * kMiB, 256 * kMiB, Mode::kHonest);
  const Outcome outcome = ProbeAndRestore(medium);
  EXPECT_EQ(outcome.probe.end, ProbeEnd::kDone);
  EXPECT_EQ(outcome.probe.fault, Fault::kNone);
  EXPECT_EQ(outcome.probe.intact, 256 * kMiB);
  EXPECT_EQ(outcome.probe.rounds, 1u);
  EXPECT_EQ(outcome.probe.positions, 256u);
  EXPECT_TRUE(outcome.restore.ok);
  EXPECT_GT(medium.PlacesTouched(), 0u);
  EXPECT_EQ(medium.PlacesNotRestored(), 0u);
}

TEST(ProbeRunTest, WrapIsFoundAtAnyRealCapacity) {
  for (const uint64_t real : {64 * kMiB, 64 * kMiB + 512, 100 * kMiB + 12 * 1024, 3 * kMiB,
                              255 * kMiB}) {
    SCOPED_TRACE(real);
    MemoryMedium medium(256 * kMiB, real, Mode::kWrap);
    const Outcome outcome = ProbeAndRestore(medium);
    EXPECT_EQ(outcome.probe.end, ProbeEnd::kDone);
    EXPECT_EQ(outcome.probe.fault, Fault::kWrap);
    ExpectCapacity(outcome.probe, real);
    EXPECT_TRUE(outcome.restore.ok) << outcome.restore.mismatches;
    EXPECT_EQ(medium.PlacesNotRestored(), 0u);
  }
}

TEST(ProbeRunTest, DropAndFailAreFoundAndToldApart) {
  const std::pair<Mode, Fault> cases[] = {
      {Mode::kDropZero, Fault::kDrop}, {Mode::kDropOnes, Fault::kDrop}, {Mode::kFail, Fault::kFail}};
  for (const auto& [mode, fault] : cases) {
    for (const uint64_t real : {64 * kMiB, 100 * kMiB + 12 * 1024 + 512}) {
      SCOPED_TRACE(real);
      MemoryMedium medium(256 * kMiB, real, mode);
      const Outcome outcome = ProbeAndRestore(medium);
      EXPECT_EQ(outcome.probe.fault, fault);
      ExpectCapacity(outcome.probe, real);
      EXPECT_TRUE(outcome.restore.ok);
      EXPECT_EQ(medium.PlacesNotRestored(), 0u);
    }
  }
}

// A device that answers reads of what it was just given from a cache of its
// own: without enough writes in between, positions beyond the real capacity
// look kept.
TEST(ProbeRunTest, EnoughWritesBeforeReadingBackDefeatACacheInTheDevice) {
  const uint64_t real = 100 * kMiB + 12 * 1024;
  MemoryMedium cached(256 * kMiB, real, Mode::kDropZero, 2 * kMiB);
  const Outcome outcome = ProbeAndRestore(cached);  // 4 MiB between write and read
  EXPECT_EQ(outcome.probe.fault, Fault::kDrop);
  ExpectCapacity(outcome.probe, real);

  MemoryMedium fooled(256 * kMiB, real, Mode::kDropZero, 2 * kMiB);
  ProbeSettings none;
  none.flush_bytes = 0;
  const Outcome wrong = ProbeAndRestore(fooled, none);
  EXPECT_GT(wrong.probe.intact, real) << "the cache went unnoticed: the test shows nothing";
}

// The target case: 64 GB claimed, 16 GB real, at 20 MByte/s. What the probe
// moves, backup and putting back included, must take well under 2 minutes.
TEST(ProbeRunTest, SixtyFourGigabytesWithSixteenRealMoveAFewHundredMiB) {
  for (const Mode mode : {Mode::kWrap, Mode::kDropZero, Mode::kHonest}) {
    // A real 16 GB stick's size for the drop, so that the narrowing runs.
    const uint64_t claimed = 64'000'000'000ULL;
    const uint64_t real = mode == Mode::kHonest ? claimed
                          : mode == Mode::kWrap ? 16'000'000'000ULL
                                                : 15'931'539'456ULL;
    MemoryMedium medium(claimed, real, mode);
    const Outcome outcome = ProbeAndRestore(medium);
    EXPECT_EQ(outcome.probe.end, ProbeEnd::kDone);
    ExpectCapacity(outcome.probe, real);
    EXPECT_TRUE(outcome.restore.ok);
    EXPECT_EQ(medium.PlacesNotRestored(), 0u);
    const uint64_t moved = outcome.probe.bytes_written + outcome.probe.bytes_read +
                           outcome.restore.bytes_written + outcome.restore.bytes_read;
    EXPECT_LE(moved, 400 * kMiB);
    // 20 MByte/s, plus 2 ms for every request as a slow stick's seek.
    const double seconds = static_cast<double>(moved) / 20e6 + medium.Requests() * 0.002;
    EXPECT_LT(seconds, 120.0);
    std::printf("mode %d: %llu positions, %llu rounds, probe %llu+%llu MiB, restore %llu+%llu "
                "MiB (written+read), %llu requests, about %.0f s at 20 MByte/s\n",
                static_cast<int>(mode), static_cast<unsigned long long>(outcome.probe.positions),
                static_cast<unsigned long long>(outcome.probe.rounds),
                static_cast<unsigned long long>(outcome.probe.bytes_written / kMiB),
                static_cast<unsigned long long>(outcome.probe.bytes_read / kMiB),
                static_cast<unsigned long long>(outcome.restore.bytes_written / kMiB),
                static_cast<unsigned long long>(outcome.restore.bytes_read / kMiB),
                static_cast<unsigned long long>(medium.Requests()), seconds);
  }
}

TEST(ProbeRunTest, AStopRequestEndsTheRunAndEverythingComesBack) {
  MemoryMedium medium(256 * kMiB, 64 * kMiB, Mode::kWrap);
  MemoryBackup backup(BackupHeader{"/dev/mem", medium.Size(), "", 512});
  int asked = 0;
  Prober prober(medium, backup, [&asked] { return ++asked > 400; });
  const ProbeReport report = prober.Run();
  EXPECT_EQ(report.end, ProbeEnd::kAborted);
  EXPECT_GT(medium.PlacesTouched(), 0u);
  const RestoreReport restore = Restore(medium, backup.Parse(), backup.Reader());
  EXPECT_TRUE(restore.ok);
  EXPECT_EQ(medium.PlacesNotRestored(), 0u);
}

TEST(ProbeRunTest, ADeviceThatGoesAwayEndsTheRunAndItsBackupStillRestores) {
  MemoryMedium medium(256 * kMiB, 256 * kMiB, Mode::kHonest);
  medium.VanishAfterWrites(5000);
  MemoryBackup backup(BackupHeader{"/dev/mem", medium.Size(), "", 512});
  Prober prober(medium, backup, nullptr);
  const ProbeReport report = prober.Run();
  EXPECT_EQ(report.end, ProbeEnd::kDeviceLost);
  EXPECT_FALSE(Restore(medium, backup.Parse(), backup.Reader()).ok);
  medium.ComeBack();
  const RestoreReport restore = Restore(medium, backup.Parse(), backup.Reader());
  EXPECT_TRUE(restore.ok);
  EXPECT_EQ(medium.PlacesNotRestored(), 0u);
  // Again: putting back twice changes nothing.
  EXPECT_TRUE(Restore(medium, backup.Parse(), backup.Reader()).ok);
  EXPECT_EQ(medium.PlacesNotRestored(), 0u);
}

TEST(ProbeRunTest, ABackupThatCannotBeWrittenStopsBeforeAnyWrite) {
  MemoryMedium medium(256 * kMiB, 256 * kMiB, Mode::kHonest);
  MemoryBackup backup(BackupHeader{"/dev/mem", medium.Size(), "", 512});
  backup.FailAfter(1 * kMiB);
  Prober prober(medium, backup, nullptr);
  const ProbeReport report = prober.Run();
  EXPECT_EQ(report.end, ProbeEnd::kBackupFailed);
  EXPECT_EQ(report.error, ENOSPC);
  EXPECT_EQ(report.bytes_written, 0u);
  EXPECT_EQ(medium.PlacesTouched(), 0u);
}

}  // namespace
}  // namespace kalvex::probe
