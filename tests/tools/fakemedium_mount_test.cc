// The simulator as a whole: mounted over FUSE on a tmpfs of the test's own,
// driven through the served file with pread and pwrite, with and without
// O_DIRECT. Needs root and /dev/fuse; skipped elsewhere.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "tests/support/mount.h"
#include "tests/support/support.h"
#include "tests/tools/test_sectors.h"
#include "tools/fakemedium/bit_flips.h"

namespace kalvex::fakemedium {
namespace {

using kalvex::testing::kMiB;
using kalvex::testing::TmpfsMount;

// How long to wait for the simulator to come up or go away. A limit on
// waiting, not a measure: the tests pass or fail on data only.
constexpr auto kPatience = std::chrono::seconds(30);

std::vector<unsigned char> DataAt(uint64_t address, size_t length) {
  std::vector<unsigned char> data(length);
  for (size_t i = 0; i < length; ++i)
    data[i] = static_cast<unsigned char>(((address + i) * 7 + 1) ^ ((address + i) >> 9));
  return data;
}

// A buffer O_DIRECT accepts: aligned to 4096 bytes.
class AlignedBuffer {
 public:
  explicit AlignedBuffer(size_t size) : m_size(size) {
    if (posix_memalign(&m_data, 4096, size) != 0) m_data = nullptr;
  }
  ~AlignedBuffer() { std::free(m_data); }
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;
  unsigned char* data() { return static_cast<unsigned char*>(m_data); }
  std::vector<unsigned char> bytes() const {
    const auto* begin = static_cast<const unsigned char*>(m_data);
    return {begin, begin + m_size};
  }

 private:
  void* m_data = nullptr;
  size_t m_size;
};

// fakemedium running in the foreground as a child, mounted on a folder of
// the tmpfs. Stopped and unmounted at the end, also when a test fails.
class Simulator {
 public:
  Simulator(const TmpfsMount& tmpfs, const std::vector<std::string>& modes)
      : m_mountPoint(tmpfs.File("mnt")), m_logPath(tmpfs.File("events.log")) {
    mkdir(m_mountPoint.c_str(), 0755);
    std::vector<std::string> args = {FAKEMEDIUM_PATH, m_mountPoint, "-f", "--log", m_logPath};
    args.insert(args.end(), modes.begin(), modes.end());
    m_pid = fork();
    if (m_pid == 0) RunChild(args);
    m_running = m_pid > 0 && WaitUntilServed();
  }
  ~Simulator() { Stop(); }
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  bool running() const { return m_running; }
  pid_t pid() const { return m_pid; }
  std::string file() const { return m_mountPoint + "/medium"; }
  std::string Log() const { return kalvex::testing::ReadFile(m_logPath); }

  bool LogHas(const std::string& line) const {
    // Built with append: GCC 12 misreads "\n" + string as an overlapping copy.
    std::string log = "\n";
    log.append(Log());
    std::string wanted = "\n";
    wanted.append(line).append("\n");
    return log.find(wanted) != std::string::npos;
  }

  // Waits (up to kPatience) until the log holds line.
  bool WaitForLogLine(const std::string& line) const {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!LogHas(line)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  // Unmounts, which ends the simulator, and returns its exit status (-1
  // when it had to be killed).
  int Stop() {
    if (m_pid <= 0) return -1;
    umount2(m_mountPoint.c_str(), MNT_DETACH);
    int status = ReapWithin(kPatience);
    if (status == -2) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
      status = -1;
    }
    m_pid = -1;
    return status;
  }

 private:
  [[noreturn]] static void RunChild(const std::vector<std::string>& args) {
    // Should the test die first, the simulator follows instead of serving on.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }

  bool WaitUntilServed() {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
      struct stat info = {};
      if (stat(file().c_str(), &info) == 0 && S_ISREG(info.st_mode)) return true;
      if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
        m_pid = -1;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // The exit status, or -2 when the child is still there after patience.
  int ReapWithin(std::chrono::seconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    int status = 0;
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) return -2;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string m_mountPoint;
  std::string m_logPath;
  pid_t m_pid = -1;
  bool m_running = false;
};

class FileHandle {
 public:
  FileHandle(const std::string& path, int flags) : m_fd(open(path.c_str(), flags | O_CLOEXEC)) {}
  ~FileHandle() {
    if (m_fd >= 0) close(m_fd);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int fd() const { return m_fd; }

 private:
  int m_fd;
};

// pwrite of data at address; the byte count or -errno.
ssize_t WriteAt(int fd, uint64_t address, const std::vector<unsigned char>& data) {
  AlignedBuffer buffer(data.size());
  std::memcpy(buffer.data(), data.data(), data.size());
  const ssize_t n = pwrite(fd, buffer.data(), data.size(), static_cast<off_t>(address));
  return n < 0 ? -errno : n;
}

std::vector<unsigned char> ReadAt(int fd, uint64_t address, size_t length,
                                  ssize_t* result = nullptr) {
  AlignedBuffer buffer(length);
  std::memset(buffer.data(), 0xAA, length);
  const ssize_t n = pread(fd, buffer.data(), length, static_cast<off_t>(address));
  if (result != nullptr) *result = n < 0 ? -errno : n;
  return buffer.bytes();
}

class FakeMediumMountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    if (access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "no /dev/fuse";
    KALVEX_SKIP_UNLESS_MOUNTED(m_tmpfs);
  }

  // Starts the simulator with these modes; false (with a failure) when it
  // does not come up.
  bool Start(const std::vector<std::string>& modes) {
    m_simulator = std::make_unique<Simulator>(m_tmpfs, modes);
    if (!m_simulator->running()) ADD_FAILURE() << "fakemedium did not come up";
    return m_simulator->running();
  }

  // The simulator has to end cleanly: a crash or a sanitizer report in it
  // makes the test fail.
  void TearDown() override {
    if (m_simulator) {
      EXPECT_EQ(m_simulator->Stop(), 0) << "fakemedium exit status";
    }
  }

  TmpfsMount m_tmpfs{32 * kMiB};
  std::unique_ptr<Simulator> m_simulator;
};

TEST_F(FakeMediumMountTest, HonestMediumKeepsDataWithAndWithoutODirect) {
  ASSERT_TRUE(Start({"--advertised", "4M", "--slow", "256"}));
  struct stat info = {};
  ASSERT_EQ(stat(m_simulator->file().c_str(), &info), 0);
  EXPECT_EQ(static_cast<uint64_t>(info.st_size), 4 * kMiB);
  FileHandle buffered(m_simulator->file(), O_RDWR);
  FileHandle direct(m_simulator->file(), O_RDWR | O_DIRECT);
  ASSERT_GE(buffered.fd(), 0);
  ASSERT_GE(direct.fd(), 0) << std::strerror(errno);
  EXPECT_EQ(WriteAt(buffered.fd(), 1000, DataAt(1000, 3000)), 3000);
  EXPECT_EQ(WriteAt(direct.fd(), 3 * kMiB, DataAt(3 * kMiB, 256 * 1024)), 256 * 1024);
  EXPECT_EQ(ReadAt(direct.fd(), 3 * kMiB, 256 * 1024), DataAt(3 * kMiB, 256 * 1024));
  EXPECT_EQ(ReadAt(buffered.fd(), 1000, 3000), DataAt(1000, 3000));
  ssize_t result = 0;
  ReadAt(direct.fd(), 4 * kMiB, 4096, &result);
  EXPECT_EQ(result, 0);
  EXPECT_NE(m_simulator->Log().find("write 3145728 "), std::string::npos);
}

TEST_F(FakeMediumMountTest, WrapStoresAddressAAtAModReal) {
  const std::string store = m_tmpfs.File("store");
  ASSERT_TRUE(Start({"--advertised", "8M", "--real", "2M", "--wrap", "--store", store}));
  FileHandle direct(m_simulator->file(), O_RDWR | O_DIRECT);
  ASSERT_GE(direct.fd(), 0);
  EXPECT_EQ(WriteAt(direct.fd(), 1 * kMiB, DataAt(1 * kMiB, 4096)), 4096);
  EXPECT_EQ(WriteAt(direct.fd(), 5 * kMiB, DataAt(5 * kMiB, 4096)), 4096);
  // 5 MiB mod 2 MiB = 1 MiB: the later write is what every alias shows.
  for (uint64_t alias : {1 * kMiB, 3 * kMiB, 5 * kMiB, 7 * kMiB}) {
    EXPECT_EQ(ReadAt(direct.fd(), alias, 4096), DataAt(5 * kMiB, 4096)) << alias;
  }
  EXPECT_EQ(kalvex::testing::ReadBytes(store, 1 * kMiB, 4096), DataAt(5 * kMiB, 4096));
  EXPECT_EQ(kalvex::testing::FileSizeOf(store), 2 * kMiB);
  EXPECT_TRUE(m_simulator->LogHas("write 5242880 4096 -> 1048576"));
}

TEST_F(FakeMediumMountTest, DropZeroLosesWritesBeyondReal) {
  ASSERT_TRUE(Start({"--advertised", "8M", "--real", "2M", "--drop=zero"}));
  FileHandle file(m_simulator->file(), O_RDWR | O_DIRECT);
  ASSERT_GE(file.fd(), 0);
  EXPECT_EQ(WriteAt(file.fd(), 2 * kMiB - 4096, DataAt(2 * kMiB - 4096, 8192)), 8192);
  std::vector<unsigned char> expected = DataAt(2 * kMiB - 4096, 4096);
  expected.resize(8192, 0x00);
  EXPECT_EQ(ReadAt(file.fd(), 2 * kMiB - 4096, 8192), expected);
  EXPECT_TRUE(m_simulator->LogHas("drop 2097152 4096"));
}

TEST_F(FakeMediumMountTest, DropFfReadsOnesBeyondReal) {
  ASSERT_TRUE(Start({"--advertised", "8M", "--real", "2M", "--drop=ff"}));
  FileHandle file(m_simulator->file(), O_RDWR);
  ASSERT_GE(file.fd(), 0);
  EXPECT_EQ(WriteAt(file.fd(), 6 * kMiB, DataAt(6 * kMiB, 4096)), 4096);
  EXPECT_EQ(ReadAt(file.fd(), 6 * kMiB, 4096), std::vector<unsigned char>(4096, 0xFF));
  EXPECT_EQ(ReadAt(file.fd(), 0, 4096), std::vector<unsigned char>(4096, 0x00));
  EXPECT_TRUE(m_simulator->LogHas("drop 6291456 4096"));
}

// What the reader sees differs from what was written in exactly the bits
// the formula names, and the log names the same ones.
TEST_F(FakeMediumMountTest, FlipsAreWhereTheFormulaAndTheLogSay) {
  ASSERT_TRUE(Start({"--advertised", "4M", "--flip", "1000:3", "--flip-rate", "4", "--seed", "7"}));
  FileHandle file(m_simulator->file(), O_RDWR | O_DIRECT);
  ASSERT_GE(file.fd(), 0);
  const std::vector<unsigned char> written = DataAt(0, 65536);
  ASSERT_EQ(WriteAt(file.fd(), 0, written), 65536);
  const std::vector<unsigned char> read = ReadAt(file.fd(), 0, 65536);

  std::string expected_log;
  std::vector<std::pair<uint64_t, unsigned>> expected = {{1000, 3}};
  for (uint64_t sector = 0; sector < 128; ++sector) {
    const uint64_t h = SplitMix64(7 ^ sector);
    if (h % 4 != 0) continue;
    const uint64_t b = SplitMix64(h) % 4096;
    expected.emplace_back(sector * 512 + b / 8, static_cast<unsigned>(b % 8));
  }
  std::sort(expected.begin(), expected.end());
  std::vector<std::pair<uint64_t, unsigned>> seen;
  for (size_t i = 0; i < read.size(); ++i) {
    for (unsigned bit = 0; bit < 8; ++bit) {
      if ((read[i] ^ written[i]) & (1u << bit)) seen.emplace_back(i, bit);
    }
  }
  EXPECT_EQ(seen, expected);
  EXPECT_GT(seen.size(), 10u);
  for (const auto& [offset, bit] : expected) {
    EXPECT_TRUE(m_simulator->LogHas("flip " + std::to_string(offset) + " " + std::to_string(bit)));
  }
}

TEST_F(FakeMediumMountTest, ErrorRangesFailRequestsThatTouchThem) {
  ASSERT_TRUE(Start({"--advertised", "4M", "--read-error", "1M:4K", "--write-error", "2M:512"}));
  FileHandle file(m_simulator->file(), O_RDWR | O_DIRECT);
  ASSERT_GE(file.fd(), 0);
  ssize_t result = 0;
  ReadAt(file.fd(), 1 * kMiB - 4096, 8192, &result);
  EXPECT_EQ(result, -EIO);
  ReadAt(file.fd(), 1 * kMiB + 4096, 4096, &result);
  EXPECT_EQ(result, 4096);
  EXPECT_EQ(WriteAt(file.fd(), 1 * kMiB, DataAt(1 * kMiB, 4096)), 4096);
  EXPECT_EQ(WriteAt(file.fd(), 2 * kMiB, DataAt(2 * kMiB, 4096)), -EIO);
  ReadAt(file.fd(), 2 * kMiB, 4096, &result);
  EXPECT_EQ(result, 4096);
  EXPECT_TRUE(m_simulator->LogHas("eio read 1044480 8192"));
  EXPECT_TRUE(m_simulator->LogHas("eio write 2097152 4096"));
}

TEST_F(FakeMediumMountTest, VanishesAfterTheGivenBytes) {
  ASSERT_TRUE(Start({"--advertised", "4M", "--vanish-after", "64K"}));
  FileHandle file(m_simulator->file(), O_RDWR | O_DIRECT);
  ASSERT_GE(file.fd(), 0);
  EXPECT_EQ(WriteAt(file.fd(), 0, DataAt(0, 32768)), 32768);
  ssize_t result = 0;
  ReadAt(file.fd(), 0, 32768, &result);
  EXPECT_EQ(result, 32768);
  ReadAt(file.fd(), 0, 4096, &result);
  EXPECT_EQ(result, -EIO);
  EXPECT_EQ(WriteAt(file.fd(), 0, DataAt(0, 4096)), -EIO);
  const int again = open(m_simulator->file().c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_EQ(again, -1);
  EXPECT_EQ(errno, EIO);
  if (again >= 0) close(again);
  EXPECT_TRUE(m_simulator->LogHas("vanished after 65536 bytes"));
}

TEST_F(FakeMediumMountTest, VanishesOnSigusr1WithEnxio) {
  ASSERT_TRUE(Start({"--advertised", "4M", "--vanish-errno=enxio"}));
  FileHandle file(m_simulator->file(), O_RDWR | O_DIRECT);
  ASSERT_GE(file.fd(), 0);
  EXPECT_EQ(WriteAt(file.fd(), 0, DataAt(0, 4096)), 4096);
  ASSERT_EQ(kill(m_simulator->pid(), SIGUSR1), 0);
  ASSERT_TRUE(m_simulator->WaitForLogLine("vanished on SIGUSR1"));
  ssize_t result = 0;
  ReadAt(file.fd(), 0, 4096, &result);
  EXPECT_EQ(result, -ENXIO);
  EXPECT_TRUE(m_simulator->LogHas("enxio read 0 4096"));
}

// Waits (up to kPatience) until path exists.
bool WaitForFile(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (access(path.c_str(), F_OK) != 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TEST_F(FakeMediumMountTest, WrittenMapIsSavedOnSigusr2AndAtTheEnd) {
  const std::string map = m_tmpfs.File("written.map");
  kalvex::testing::WriteFile(map, "left from before\n");
  ASSERT_TRUE(Start({"--advertised", "4M", "--written-map", map, "--write-error", "3M:512"}));
  EXPECT_NE(access(map.c_str(), F_OK), 0) << "a map from before is removed at the start";
  {
    FileHandle file(m_simulator->file(), O_RDWR | O_DIRECT);
    ASSERT_GE(file.fd(), 0);
    EXPECT_EQ(WriteAt(file.fd(), 1 * kMiB, test_data::TestSectors(0, 256)), 131072);
    EXPECT_EQ(WriteAt(file.fd(), 1 * kMiB + 131072, test_data::TestSectors(131072, 256)), 131072);
    EXPECT_EQ(WriteAt(file.fd(), 3 * kMiB, test_data::TestSectors(262144, 8)), -EIO);
    ASSERT_EQ(kill(m_simulator->pid(), SIGUSR2), 0);
    ASSERT_TRUE(WaitForFile(map));
    EXPECT_EQ(kalvex::testing::ReadFile(map), "1048576 0 262144\n");
    EXPECT_EQ(WriteAt(file.fd(), 1 * kMiB + 4096, std::vector<unsigned char>(4096, 0)), 4096);
  }
  EXPECT_TRUE(m_simulator->LogHas("eio write 3145728 4096 P=262144"));
  const int status = m_simulator->Stop();
  m_simulator.reset();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(kalvex::testing::ReadFile(map), "1048576 0 4096\n1056768 8192 253952\n");
}

}  // namespace
}  // namespace kalvex::fakemedium
