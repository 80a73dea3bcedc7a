#include "cli/probe/backup_file.h"

#include <cerrno>
#include <cstring>
#include <sstream>

namespace kalvex::probe {

namespace {

constexpr char kFirstLine[] = "KALVEX PROBE BACKUP 1";
constexpr char kRecordMagic[] = "KVXR";
constexpr char kCommitMagic[] = "KVXC";
constexpr size_t kHeadSize = 24;
constexpr size_t kMaxHeader = 65536;
// No record is longer than a probe block; a larger length is damage.
constexpr uint32_t kMaxRecord = 1 << 20;

uint64_t Fnv(uint64_t hash, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 0x100000001B3ULL;
  }
  return hash;
}

void PutLe(std::string* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t GetLe(const uint8_t* in, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | in[i];
  return value;
}

std::string OneLine(const std::string& text) {
  std::string line = text;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  return line;
}

bool ParseNumber(const std::string& text, uint64_t* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  *value = std::strtoull(text.c_str(), nullptr, 10);
  return errno == 0;
}

// Whether a commit mark for at least min_count records stands anywhere from
// position on.
bool LaterMark(uint64_t position, uint64_t file_size, uint64_t min_count, const FileReader& read);

}  // namespace

uint64_t RecordChecksum(uint64_t offset, const uint8_t* data, uint32_t length) {
  std::string fields;
  PutLe(&fields, offset, 8);
  PutLe(&fields, length, 4);
  return Fnv(Fnv(0xCBF29CE484222325ULL, fields.data(), fields.size()), data, length);
}

std::string EncodeHeader(const BackupHeader& header) {
  std::ostringstream text;
  text << kFirstLine << "\n"
       << "device " << OneLine(header.device) << "\n"
       << "size " << header.size << "\n"
       << "model " << OneLine(header.model) << "\n"
       << "sector " << header.sector << "\n\n";
  return text.str();
}

std::string EncodeRecordHead(uint64_t offset, const uint8_t* data, uint32_t length) {
  std::string head(kRecordMagic, 4);
  PutLe(&head, length, 4);
  PutLe(&head, offset, 8);
  PutLe(&head, RecordChecksum(offset, data, length), 8);
  return head;
}

std::string EncodeCommitMark(uint64_t records) {
  std::string head(kCommitMagic, 4);
  PutLe(&head, 0, 4);
  PutLe(&head, records, 8);
  PutLe(&head, RecordChecksum(records, nullptr, 0), 8);
  return head;
}

namespace {

bool LaterMark(uint64_t position, uint64_t file_size, uint64_t min_count, const FileReader& read) {
  constexpr size_t kChunk = 1 << 20;
  std::vector<uint8_t> chunk(kChunk + kHeadSize);
  while (position + kHeadSize <= file_size) {
    const size_t size = static_cast<size_t>(std::min<uint64_t>(chunk.size(), file_size - position));
    if (read(position, chunk.data(), size) != 0) return true;
    for (size_t i = 0; i + kHeadSize <= size; ++i) {
      if (std::memcmp(chunk.data() + i, kCommitMagic, 4) != 0) continue;
      const uint64_t count = GetLe(chunk.data() + i + 8, 8);
      if (GetLe(chunk.data() + i + 4, 4) == 0 &&
          GetLe(chunk.data() + i + 16, 8) == RecordChecksum(count, nullptr, 0) &&
          count >= min_count)
        return true;
    }
    if (size < chunk.size()) break;
    position += kChunk;
  }
  return false;
}

}  // namespace

BackupContents ParseBackup(uint64_t file_size, const FileReader& read) {
  BackupContents contents;
  std::string text(std::min<uint64_t>(file_size, kMaxHeader), '\0');
  if (read(0, text.data(), text.size()) != 0) {
    contents.error = "unreadable";
    return contents;
  }
  const size_t end = text.find("\n\n");
  if (text.rfind(std::string(kFirstLine) + "\n", 0) != 0 || end == std::string::npos) {
    contents.error = "not a probe backup";
    return contents;
  }
  std::istringstream lines(text.substr(0, end + 1));
  std::string line;
  std::getline(lines, line);
  bool have_device = false, have_size = false, have_sector = false;
  while (std::getline(lines, line)) {
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    if (key == "device") {
      contents.header.device = value;
      have_device = !value.empty();
    } else if (key == "size") {
      have_size = ParseNumber(value, &contents.header.size);
    } else if (key == "model") {
      contents.header.model = value;
    } else if (key == "sector") {
      have_sector = ParseNumber(value, &contents.header.sector);
    }
  }
  if (!have_device || !have_size || !have_sector) {
    contents.error = "header incomplete";
    return contents;
  }

  std::vector<BackupRecord> pending;
  std::vector<uint8_t> data;
  uint64_t position = end + 2;
  while (position < file_size) {
    uint8_t head[kHeadSize];
    // A batch cut short by a crash: its ranges were never written to.
    if (file_size - position < kHeadSize) break;
    if (read(position, head, kHeadSize) != 0) {
      contents.error = "unreadable";
      return contents;
    }
    const uint32_t length = static_cast<uint32_t>(GetLe(head + 4, 4));
    const uint64_t offset = GetLe(head + 8, 8);
    const uint64_t checksum = GetLe(head + 16, 8);
    if (std::memcmp(head, kCommitMagic, 4) == 0) {
      if (length != 0 || checksum != RecordChecksum(offset, nullptr, 0) ||
          offset != contents.records.size() + pending.size())
        break;
      contents.records.insert(contents.records.end(), pending.begin(), pending.end());
      pending.clear();
      position += kHeadSize;
      continue;
    }
    if (std::memcmp(head, kRecordMagic, 4) != 0 || length > kMaxRecord ||
        file_size - position - kHeadSize < length)
      break;
    data.resize(length);
    if (read(position + kHeadSize, data.data(), length) != 0) {
      contents.error = "unreadable";
      return contents;
    }
    if (RecordChecksum(offset, data.data(), length) != checksum) break;
    pending.push_back({{offset, length}, position + kHeadSize, checksum});
    position += kHeadSize + length;
  }
  // What follows the last commit mark was never needed: its ranges were not
  // written to yet. Unless a later mark stands in it: then a record that was
  // needed is damaged.
  contents.uncommitted = pending.size();
  if (LaterMark(position, file_size, contents.records.size() + 1, read))
    contents.error = "damaged";
  return contents;
}

int BackupWriter::Create(const std::string& path, const BackupHeader& header) {
  if (const int error = m_file.Create(path)) return error;
  const std::string text = EncodeHeader(header);
  if (const int error = m_file.Append(text.data(), text.size())) return error;
  return m_file.Sync();
}

int BackupWriter::Save(const Extent& extent, const uint8_t* data) {
  const std::string head = EncodeRecordHead(extent.offset, data, static_cast<uint32_t>(extent.length));
  if (const int error = m_file.Append(head.data(), head.size())) return error;
  if (const int error = m_file.Append(data, extent.length)) return error;
  ++m_records;
  return 0;
}

int BackupWriter::Commit() {
  const std::string mark = EncodeCommitMark(m_records);
  if (const int error = m_file.Append(mark.data(), mark.size())) return error;
  return m_file.Sync();
}

}  // namespace kalvex::probe
