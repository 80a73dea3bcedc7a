#include "tools/fakemedium/written_map.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <sstream>

#include "tools/fakemedium/bit_flips.h"

namespace kalvex::fakemedium {

namespace {

uint64_t LittleEndianWord(const unsigned char* bytes) {
  uint64_t word = 0;
  for (unsigned i = 0; i < 8; ++i) word |= uint64_t{bytes[i]} << (8 * i);
  return word;
}

}  // namespace

std::optional<uint64_t> TestOffsetOf(const unsigned char* sector) {
  const uint64_t p = LittleEndianWord(sector);
  if (p % kSectorSize != 0) return std::nullopt;
  if (LittleEndianWord(sector + 8) != p * 0x10000000FULL + 17) return std::nullopt;
  return p;
}

std::vector<LinearRuns::Piece> LinearRuns::Erase(uint64_t from, uint64_t count) {
  std::vector<Piece> removed;
  if (count == 0) return removed;
  const uint64_t end = from + count;
  auto it = m_runs.upper_bound(from);
  if (it != m_runs.begin() && std::prev(it)->first + std::prev(it)->second.count > from) --it;
  while (it != m_runs.end() && it->first < end) {
    const uint64_t start = it->first;
    const Target target = it->second;
    const uint64_t stop = start + target.count;
    const uint64_t cut_from = std::max(start, from);
    const uint64_t cut_to = std::min(stop, end);
    removed.push_back({cut_from, target.to + (cut_from - start), cut_to - cut_from});
    it = m_runs.erase(it);
    if (start < cut_from) m_runs.emplace(start, Target{target.to, cut_from - start});
    if (cut_to < stop) {
      // The tail is the only run left at or after end, so the loop ends.
      it = m_runs.emplace(cut_to, Target{target.to + (cut_to - start), stop - cut_to}).first;
    }
  }
  return removed;
}

void LinearRuns::Insert(uint64_t from, uint64_t to, uint64_t count) {
  if (count == 0) return;
  auto next = m_runs.lower_bound(from);
  if (next != m_runs.end() && next->first == from + count && next->second.to == to + count) {
    count += next->second.count;
    next = m_runs.erase(next);
  }
  if (next != m_runs.begin()) {
    auto before = std::prev(next);
    if (before->first + before->second.count == from &&
        before->second.to + before->second.count == to) {
      before->second.count += count;
      return;
    }
  }
  m_runs.emplace_hint(next, from, Target{to, count});
}

std::vector<LinearRuns::Piece> LinearRuns::All() const {
  std::vector<Piece> pieces;
  pieces.reserve(m_runs.size());
  for (const auto& [from, target] : m_runs) pieces.push_back({from, target.to, target.count});
  return pieces;
}

void WrittenMap::Record(uint64_t address, uint64_t length, const unsigned char* data) {
  if (length == 0) return;
  const std::lock_guard lock(m_lock);
  const uint64_t end = address + length;
  uint64_t sector = address / kSectorSize;
  // A sector written only in part holds a mix that is no test sector of
  // any one offset.
  if (address % kSectorSize != 0) {
    ForgetSectors(sector, 1);
    ++sector;
  }
  uint64_t run_start = 0;
  uint64_t run_offset = 0;
  uint64_t run_length = 0;  // sectors of test data pending
  uint64_t other_start = 0;
  uint64_t other_length = 0;  // sectors of anything else pending
  for (; (sector + 1) * kSectorSize <= end; ++sector) {
    const auto p = TestOffsetOf(data + (sector * kSectorSize - address));
    if (!p) {
      if (run_length > 0) Hold(run_start, run_offset, run_length);
      run_length = 0;
      if (other_length == 0) other_start = sector;
      ++other_length;
      continue;
    }
    if (other_length > 0) ForgetSectors(other_start, other_length);
    other_length = 0;
    const uint64_t test_sector = *p / kSectorSize;
    if (run_length > 0 && test_sector == run_offset + run_length) {
      ++run_length;
      continue;
    }
    if (run_length > 0) Hold(run_start, run_offset, run_length);
    run_start = sector;
    run_offset = test_sector;
    run_length = 1;
  }
  if (run_length > 0) Hold(run_start, run_offset, run_length);
  if (other_length > 0) ForgetSectors(other_start, other_length);
  if (sector * kSectorSize < end) ForgetSectors(sector, 1);
}

void WrittenMap::Forget(uint64_t address, uint64_t length) {
  if (length == 0) return;
  const std::lock_guard lock(m_lock);
  const uint64_t first = address / kSectorSize;
  ForgetSectors(first, (address + length + kSectorSize - 1) / kSectorSize - first);
}

void WrittenMap::ForgetSectors(uint64_t sector, uint64_t count) {
  for (const LinearRuns::Piece& piece : m_byAddress.Erase(sector, count))
    m_byOffset.Erase(piece.to, piece.count);
}

void WrittenMap::Hold(uint64_t sector, uint64_t test_sector, uint64_t count) {
  ForgetSectors(sector, count);
  for (const LinearRuns::Piece& piece : m_byOffset.Erase(test_sector, count))
    m_byAddress.Erase(piece.to, piece.count);
  m_byAddress.Insert(sector, test_sector, count);
  m_byOffset.Insert(test_sector, sector, count);
}

std::vector<MapRun> WrittenMap::Runs() const {
  const std::lock_guard lock(m_lock);
  std::vector<MapRun> runs;
  for (const LinearRuns::Piece& piece : m_byAddress.All())
    runs.push_back({piece.from * kSectorSize, piece.to * kSectorSize, piece.count * kSectorSize});
  return runs;
}

std::string WrittenMap::Text() const {
  std::string text;
  for (const MapRun& run : Runs()) {
    text += std::to_string(run.address) + " " + std::to_string(run.offset) + " " +
            std::to_string(run.length) + "\n";
  }
  return text;
}

int WrittenMap::Save(const std::string& path) const {
  const std::string text = Text();
  const std::string temporary = path + ".tmp";
  FILE* stream = std::fopen(temporary.c_str(), "we");
  if (stream == nullptr) return errno;
  const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  int error = written ? 0 : errno;
  if (std::fclose(stream) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) std::remove(temporary.c_str());
  return error;
}

std::optional<std::vector<MapRun>> ParseWrittenMap(std::istream& in, std::string* error) {
  std::vector<MapRun> runs;
  std::string line;
  for (unsigned number = 1; std::getline(in, line); ++number) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    MapRun run;
    std::string rest;
    if (!(fields >> run.address >> run.offset >> run.length) || (fields >> rest) ||
        run.address % kSectorSize != 0 || run.offset % kSectorSize != 0 ||
        run.length % kSectorSize != 0 || run.length == 0) {
      if (error != nullptr)
        *error = "line " + std::to_string(number) + " is not \"A P LEN\" in multiples of 512: " +
                 line;
      return std::nullopt;
    }
    runs.push_back(run);
  }
  return runs;
}

}  // namespace kalvex::fakemedium
