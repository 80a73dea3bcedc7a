// kalvex-cli probe on block devices: loop devices over simulated media that
// lie (fakemedium on a tmpfs of the test's own), over a small file system,
// and the refusals. Needs root, /dev/fuse and loop devices; skipped
// elsewhere. Nothing here opens a device the test did not make, for writing
// or otherwise, except the check of the system's own disk, which only looks.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli/probe/backup_file.h"
#include "cli/probe/prober.h"
#include "cli/probe/restore.h"
#include "platform/posix/block_device.h"
#include "platform/posix/durable_file.h"
#include "tests/cli/cli_process.h"
#include "tests/support/mount.h"

namespace kalvex::cli::testing {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;

// A limit on waiting, not a measure: the tests pass or fail on data only.
constexpr auto kPatience = std::chrono::seconds(60);

struct Shell {
  int status = -1;
  std::string output;
};

// Runs a command line through the shell, standard error included.
Shell RunShell(const std::string& command) {
  Shell result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  size_t n = 0;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string Sha256(const std::string& path) {
  const Shell shell = RunShell("sha256sum '" + path + "'");
  return shell.status == 0 ? shell.output.substr(0, 64) : "unreadable: " + shell.output;
}

// Bytes that look like a used medium's, the same for the same seed.
void FillWithData(const std::string& path, uint64_t size, uint64_t seed) {
  std::vector<uint64_t> words(1 << 17);
  uint64_t x = seed * 0x9E3779B97F4A7C15ULL + 1;
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  for (uint64_t done = 0; done < size; done += words.size() * 8) {
    for (uint64_t& word : words) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      word = x;
    }
    const size_t bytes = static_cast<size_t>(std::min<uint64_t>(size - done, words.size() * 8));
    ASSERT_EQ(std::fwrite(words.data(), 1, bytes, file), bytes);
  }
  std::fclose(file);
}

// A loop device over a file, made by the test and detached at the end.
class Loop {
 public:
  // With a name ("/dev/loop5"), that device; else the first free one.
  explicit Loop(const std::string& file, const std::string& name = "") : m_file(file) {
    const Shell shell = name.empty()
                            ? RunShell("losetup -f --show --direct-io=on '" + file + "'")
                            : RunShell("losetup --direct-io=on " + name + " '" + file + "' && echo " +
                                  name);
    if (shell.status == 0) m_device = Trimmed(shell.output);
    m_failure = shell.output;
  }
  ~Loop() { Detach(); }
  Loop(const Loop&) = delete;
  Loop& operator=(const Loop&) = delete;

  const std::string& device() const { return m_device; }
  const std::string& failure() const { return m_failure; }

  void Detach() {
    if (m_device.empty()) return;
    RunShell("losetup -d " + m_device);
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!Trimmed(RunShell("losetup -j '" + m_file + "'").output).empty() &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_device.clear();
  }

 private:
  std::string m_file;
  std::string m_device;
  std::string m_failure;
};

// fakemedium in the foreground as a child, serving MOUNT/mnt/medium from a
// store on the test's tmpfs.
class Simulator {
 public:
  Simulator(const TmpfsMount& tmpfs, const std::vector<std::string>& modes)
      : m_mountPoint(tmpfs.File("mnt")), m_logPath(tmpfs.File("events.log")) {
    mkdir(m_mountPoint.c_str(), 0755);
    std::remove(m_logPath.c_str());
    std::vector<std::string> args = {FAKEMEDIUM_PATH, m_mountPoint, "-f", "--log", m_logPath};
    args.insert(args.end(), modes.begin(), modes.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    m_pid = fork();
    if (m_pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      execv(argv[0], argv.data());
      _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (m_pid > 0 && std::chrono::steady_clock::now() < deadline) {
      struct stat info = {};
      if (stat(file().c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        m_running = true;
        break;
      }
      if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
        m_pid = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~Simulator() { Stop(); }
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  bool running() const { return m_running; }
  std::string file() const { return m_mountPoint + "/medium"; }
  void Signal(int number) const {
    if (m_pid > 0) kill(m_pid, number);
  }

  bool WaitForLog(const std::string& piece) const {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (ReadFile(m_logPath).find(piece) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  // Unmounting ends the simulator; it is killed only if it does not.
  void Stop() {
    if (m_pid <= 0) return;
    umount2(m_mountPoint.c_str(), MNT_DETACH);
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (waitpid(m_pid, nullptr, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_pid = -1;
    m_running = false;
  }

 private:
  std::string m_mountPoint;
  std::string m_logPath;
  pid_t m_pid = -1;
  bool m_running = false;
};

constexpr uint64_t kAdvertised = 256 * kMiB;

class ProbeDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "loop devices need root";
    if (access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "no /dev/fuse";
    if (access("/dev/loop-control", R_OK | W_OK) != 0) GTEST_SKIP() << "no loop devices";
    if (RunShell("losetup --version").status != 0) GTEST_SKIP() << "no losetup";
    KALVEX_SKIP_UNLESS_MOUNTED(m_tmpfs);
  }

  void TearDown() override {
    // In this order also after a failure: the loop device holds the
    // simulator's file, the simulator holds its mount.
    m_loop.reset();
    m_simulator.reset();
  }

  std::string Store() const { return m_tmpfs.File("store"); }
  std::string BackupFile() const { return m_tmpfs.File("probe.backup"); }
  std::string JsonFile() const { return m_tmpfs.File("result.json"); }

  // A simulated medium whose store holds real_bytes of data, under a loop
  // device. False, with the failure noted, when it does not come up.
  bool Start(uint64_t real_bytes, const std::vector<std::string>& modes, bool fill = true) {
    if (fill) FillWithData(Store(), real_bytes, real_bytes);
    std::vector<std::string> args = {"--advertised", std::to_string(kAdvertised), "--real",
                                     std::to_string(real_bytes), "--store", Store()};
    args.insert(args.end(), modes.begin(), modes.end());
    m_simulator = std::make_unique<Simulator>(m_tmpfs, args);
    if (!m_simulator->running()) {
      ADD_FAILURE() << "fakemedium did not come up";
      return false;
    }
    m_loop = std::make_unique<Loop>(m_simulator->file(), m_loopName);
    // The name asked for may have been taken meanwhile by another test.
    if (m_loop->device().empty() && !m_loopName.empty())
      m_loop = std::make_unique<Loop>(m_simulator->file());
    if (m_loop->device().empty()) {
      ADD_FAILURE() << "no loop device: " << m_loop->failure();
      return false;
    }
    return true;
  }

  void Stop() {
    m_loop.reset();
    m_simulator.reset();
  }

  CliRun Probe(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"probe", m_loop->device(), "--yes", "--backup",
                                     BackupFile(), "--json", JsonFile()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCli(args, {{{"LANG", "C"}}});
  }

  json Result() const {
    const std::string text = ReadFile(JsonFile());
    return text.empty() ? json() : json::parse(text, nullptr, false);
  }

  // The run found a fault of this kind within one step of real, put the
  // data back and removed the backup.
  void ExpectFound(const CliRun& run, const std::string& fault, uint64_t real,
                   const std::string& before) {
    EXPECT_EQ(run.exit_code, 1) << run.err;
    const json result = Result();
    ASSERT_TRUE(result.is_object()) << ReadFile(JsonFile());
    EXPECT_EQ(result["fault"], fault);
    EXPECT_EQ(result["verdict"], fault == "fail" ? "failing" : "fake_capacity");
    EXPECT_EQ(result["claimed_bytes"], kAdvertised);
    const uint64_t intact = result["intact_bytes"], step = result["step_bytes"];
    EXPECT_LE(intact, real);
    EXPECT_LE(real - intact, step);
    EXPECT_LE(step, 64 * 1024u);
    // Positions that cannot be read are never written, nor read back.
    EXPECT_GT(result["positions_probed"].get<uint64_t>(), 96u);
    EXPECT_THAT(run.out, HasSubstr("Real capacity:"));
    EXPECT_EQ(FileSizeOf(BackupFile()), UINT64_MAX) << "backup left behind";
    EXPECT_EQ(Sha256(Store()), before) << "the medium did not get its data back";
  }

  TmpfsMount m_tmpfs{640 * kMiB};
  std::string m_loopName;
  std::unique_ptr<Simulator> m_simulator;
  std::unique_ptr<Loop> m_loop;
};

TEST_F(ProbeDeviceTest, HonestMediumIsGenuineAndKeepsItsData) {
  ASSERT_TRUE(Start(kAdvertised, {}));
  const std::string before = Sha256(Store());
  const CliRun run = Probe();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const json result = Result();
  ASSERT_TRUE(result.is_object());
  EXPECT_EQ(result["device"], m_loop->device());
  EXPECT_EQ(result["verdict"], "genuine");
  EXPECT_EQ(result["fault"], "none");
  EXPECT_EQ(result["intact_bytes"], kAdvertised);
  EXPECT_EQ(result["positions_probed"], 256);
  EXPECT_THAT(run.out, HasSubstr("Verdict:        genuine"));
  EXPECT_EQ(FileSizeOf(BackupFile()), UINT64_MAX);
  EXPECT_EQ(Sha256(Store()), before);
  // Other than the medium itself, only the backup and the result were
  // written: the store did not change, and a second probe runs the same.
  EXPECT_EQ(Probe().exit_code, 0);
  EXPECT_EQ(Sha256(Store()), before);
}

TEST_F(ProbeDeviceTest, WrapAtSixtyFourMiBIsFound) {
  ASSERT_TRUE(Start(64 * kMiB, {"--wrap"}));
  const std::string before = Sha256(Store());
  ExpectFound(Probe(), "wrap", 64 * kMiB, before);
}

TEST_F(ProbeDeviceTest, DropToZerosIsFound) {
  ASSERT_TRUE(Start(100 * kMiB, {"--drop=zero"}));
  const std::string before = Sha256(Store());
  ExpectFound(Probe(), "drop", 100 * kMiB, before);
}

TEST_F(ProbeDeviceTest, DropToOnesIsFoundToTheSector) {
  const uint64_t real = 100 * kMiB + 12 * 1024 + 512;
  ASSERT_TRUE(Start(real, {"--drop=ff"}));
  const std::string before = Sha256(Store());
  ExpectFound(Probe(), "drop", real, before);
  EXPECT_EQ(Result()["intact_bytes"], real);
}

TEST_F(ProbeDeviceTest, ReadErrorsBeyondAPointAreFailing) {
  ASSERT_TRUE(Start(kAdvertised, {"--read-error", std::to_string(96 * kMiB) + ":" +
                                                      std::to_string(160 * kMiB)}));
  const std::string before = Sha256(Store());
  ExpectFound(Probe(), "fail", 96 * kMiB, before);
}

TEST_F(ProbeDeviceTest, ASlowMediumIsProbedWithFewMiB) {
  ASSERT_TRUE(Start(64 * kMiB, {"--wrap", "--slow", "32"}));
  const std::string before = Sha256(Store());
  const CliRun run = Probe();
  ExpectFound(run, "wrap", 64 * kMiB, before);
  const json result = Result();
  EXPECT_LE(result["written_bytes"].get<uint64_t>() + result["read_bytes"].get<uint64_t>(),
            128 * kMiB);
  EXPECT_THAT(run.out, HasSubstr("MiB written"));
}

TEST_F(ProbeDeviceTest, AMediumThatVanishesIsPutBackWithRestore) {
  ASSERT_TRUE(Start(64 * kMiB, {"--wrap", "--slow", "8"}));
  const std::string before = Sha256(Store());
  const std::string device = m_loop->device();
  CliProcess probe({"probe", device, "--yes", "--backup", BackupFile()}, {{{"LANG", "C"}}});
  // The first write of the probe, after its backup was synced.
  ASSERT_TRUE(m_simulator->WaitForLog("write "));
  m_simulator->Signal(SIGUSR1);
  const CliRun run = probe.Wait();
  EXPECT_EQ(run.exit_code, 2) << run.err;
  EXPECT_THAT(run.err, HasSubstr("--restore"));
  ASSERT_NE(FileSizeOf(BackupFile()), UINT64_MAX);
  EXPECT_NE(Sha256(Store()), before) << "the probe wrote nothing: the test shows nothing";

  // Plugged in again: the same store, under the same device name if it is
  // still free, else under another one named on the command line.
  Stop();
  m_loopName = device;
  ASSERT_TRUE(Start(64 * kMiB, {"--wrap"}, /*fill=*/false));
  std::vector<std::string> args = {"probe", "--restore", BackupFile()};
  if (m_loop->device() != device) args.push_back(m_loop->device());
  const CliRun restore = RunCli(args, {{{"LANG", "C"}}});
  EXPECT_EQ(restore.exit_code, 0) << restore.err;
  EXPECT_EQ(Sha256(Store()), before);
  EXPECT_EQ(FileSizeOf(BackupFile()), UINT64_MAX);
  // Once done, there is nothing left to restore from.
  EXPECT_EQ(RunCli(args).exit_code, 3);
}

TEST_F(ProbeDeviceTest, CtrlCFinishesTheBlockPutsTheDataBackAndExits130) {
  ASSERT_TRUE(Start(64 * kMiB, {"--wrap", "--slow", "8"}));
  const std::string before = Sha256(Store());
  CliProcess probe({"probe", m_loop->device(), "--yes", "--backup", BackupFile(), "--json",
                    JsonFile()},
                   {{{"LANG", "C"}}});
  ASSERT_TRUE(m_simulator->WaitForLog("write "));
  probe.Signal(SIGINT);
  const CliRun run = probe.Wait();
  EXPECT_EQ(run.exit_code, 130) << run.err;
  EXPECT_THAT(run.err, HasSubstr("Probe aborted"));
  EXPECT_EQ(Result()["verdict"], "inconclusive");
  EXPECT_EQ(FileSizeOf(BackupFile()), UINT64_MAX);
  EXPECT_EQ(Sha256(Store()), before);
}

TEST_F(ProbeDeviceTest, WithoutYesAndWithoutATerminalNothingIsWritten) {
  ASSERT_TRUE(Start(64 * kMiB, {"--wrap"}));
  const std::string before = Sha256(Store());
  const CliRun run = RunCli({"probe", m_loop->device(), "--backup", BackupFile()}, {{{"LANG", "C"}}});
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_THAT(run.err, HasSubstr("Give --yes"));
  EXPECT_THAT(run.err, HasSubstr(m_loop->device() + ": no model name, 256 MByte"));
  EXPECT_EQ(FileSizeOf(BackupFile()), UINT64_MAX);
  EXPECT_EQ(Sha256(Store()), before);
}

TEST_F(ProbeDeviceTest, RestoreRefusesAnotherDevice) {
  ASSERT_TRUE(Start(64 * kMiB, {"--wrap"}));
  WriteFile(BackupFile(), "KALVEX PROBE BACKUP 1\ndevice " + m_loop->device() +
                              "\nsize 1234567680\nmodel Acme\nsector 512\n\n");
  const std::string before = Sha256(Store());
  const CliRun run = RunCli({"probe", "--restore", BackupFile()}, {{{"LANG", "C"}}});
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_THAT(run.err, HasSubstr("not the device this backup belongs to"));
  EXPECT_EQ(Sha256(Store()), before);
}

TEST_F(ProbeDeviceTest, AnExistingBackupFileIsNeverOverwritten) {
  ASSERT_TRUE(Start(64 * kMiB, {"--wrap"}));
  WriteFile(BackupFile(), "an earlier probe's");
  const std::string before = Sha256(Store());
  const CliRun run = Probe();
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_THAT(run.err, HasSubstr("--restore"));
  EXPECT_EQ(ReadFile(BackupFile()), "an earlier probe's");
  EXPECT_EQ(Sha256(Store()), before);
}

// What answers a read right after a write on the simulated medium: the page
// cache of the loop device, which O_DIRECT passes by and BLKFLSBUF empties,
// and nothing else. So on it no other writes at all are needed before
// reading back; the probe's 4 MiB are a margin for caches in real devices.
TEST_F(ProbeDeviceTest, OnTheSimulatedMediumOnlyThePageCacheAnswersForIt) {
  ASSERT_TRUE(Start(64 * kMiB, {"--drop=zero"}));
  const uint64_t beyond = 128 * kMiB;
  std::vector<uint8_t> pattern(4096, 0x5A);
  void* buffer = nullptr;
  ASSERT_EQ(posix_memalign(&buffer, 4096, 4096), 0);
  std::unique_ptr<void, decltype(&std::free)> owned(buffer, &std::free);
  auto read_at = [&](int fd) {
    std::memset(buffer, 0x11, 4096);
    EXPECT_EQ(pread(fd, buffer, 4096, static_cast<off_t>(beyond)), 4096);
    return static_cast<const uint8_t*>(buffer)[100];
  };
  const int direct = open(m_loop->device().c_str(), O_RDWR | O_DIRECT | O_CLOEXEC);
  const int buffered = open(m_loop->device().c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(direct, 0);
  ASSERT_GE(buffered, 0);
  std::memcpy(buffer, pattern.data(), 4096);
  ASSERT_EQ(pwrite(direct, buffer, 4096, static_cast<off_t>(beyond)), 4096);
  EXPECT_EQ(read_at(direct), 0x00) << "a cache below O_DIRECT answered";
  std::memcpy(buffer, pattern.data(), 4096);
  ASSERT_EQ(pwrite(buffered, buffer, 4096, static_cast<off_t>(beyond)), 4096);
  ASSERT_EQ(fsync(buffered), 0);
  EXPECT_EQ(read_at(buffered), 0x5A) << "the page cache holds what was written";
  ASSERT_EQ(ioctl(buffered, BLKFLSBUF, 0), 0);
  EXPECT_EQ(read_at(buffered), 0x00) << "BLKFLSBUF emptied it";
  close(direct);
  close(buffered);

  // So the probe reading back with no other writes in between still finds
  // the real capacity on it to the sector.
  int error = 0;
  std::unique_ptr<posix::BlockDevice> device = posix::BlockDevice::Open(m_loop->device(), &error);
  ASSERT_TRUE(device) << std::strerror(error);
  probe::BackupWriter backup;
  ASSERT_EQ(backup.Create(BackupFile(), {m_loop->device(), device->Size(), "", 512}), 0);
  probe::ProbeSettings settings;
  settings.flush_bytes = 0;
  probe::Prober prober(*device, backup, nullptr, settings);
  const probe::ProbeReport report = prober.Run();
  backup.Close();
  EXPECT_EQ(report.fault, probe::Fault::kDrop);
  EXPECT_EQ(report.intact, 64 * kMiB);
  posix::DurableFile file;
  ASSERT_EQ(file.OpenForReading(BackupFile()), 0);
  const probe::FileReader reader = [&file](uint64_t position, void* data, size_t size) {
    return file.ReadAt(position, data, size);
  };
  EXPECT_TRUE(probe::Restore(*device, probe::ParseBackup(file.Size(), reader), reader).ok);
}

TEST_F(ProbeDeviceTest, AMountedDeviceIsRefusedAndLeftAlone) {
  const std::string image = m_tmpfs.File("image");
  const std::string folder = m_tmpfs.File("fs");
  FillWithData(image, 32 * kMiB, 3);
  Loop loop(image);
  ASSERT_FALSE(loop.device().empty()) << loop.failure();
  ASSERT_EQ(RunShell("mkfs.ext4 -q -F -E nodiscard " + loop.device()).status, 0);
  mkdir(folder.c_str(), 0755);
  // Read-only and without its journal: a mount that writes nothing itself,
  // so that any change is the probe's.
  ASSERT_EQ(RunShell("mount -o ro,noload " + loop.device() + " '" + folder + "'").status, 0);
  const std::string before = Sha256(image);
  const CliRun run =
      RunCli({"probe", loop.device(), "--yes", "--backup", BackupFile()}, {{{"LANG", "C"}}});
  RunShell("umount '" + folder + "'");
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_THAT(run.err, HasSubstr("is mounted"));
  EXPECT_EQ(Sha256(image), before);
  EXPECT_EQ(FileSizeOf(BackupFile()), UINT64_MAX);
}

TEST_F(ProbeDeviceTest, AFileIsNoBlockDevice) {
  const std::string file = m_tmpfs.File("plain");
  WriteFile(file, std::string(1 << 20, 'x'));
  const CliRun run = RunCli({"probe", file, "--yes", "--backup", BackupFile()}, {{{"LANG", "C"}}});
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_THAT(run.err, HasSubstr("is not a block device"));
  EXPECT_EQ(ReadFile(file), std::string(1 << 20, 'x'));
  const CliRun missing = RunCli({"probe", m_tmpfs.File("none"), "--yes"}, {{{"LANG", "C"}}});
  EXPECT_EQ(missing.exit_code, 3);
}

TEST_F(ProbeDeviceTest, WithoutRootNothingIsTouched) {
  ASSERT_TRUE(Start(64 * kMiB, {"--wrap"}));
  if (RunShell("setpriv --version").status != 0) GTEST_SKIP() << "no setpriv";
  const std::string before = Sha256(Store());
  const Shell run = RunShell("LANG=C setpriv --reuid=65534 --regid=65534 --clear-groups " +
                        std::string(KALVEX_CLI_PATH) + " probe " + m_loop->device() +
                        " --yes --backup /tmp/kalvex-never-written.backup");
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_THAT(run.output, HasSubstr("administrator rights"));
  EXPECT_EQ(Sha256(Store()), before);
}

// The disk the running system is on: only the check is run, nothing is
// opened.
TEST(ProbeRefusalTest, TheSystemDiskIsRefused) {
  const posix::SystemView view = posix::CurrentSystemView();
  if (view.root_devices.empty()) GTEST_SKIP() << "the root file system has no block device";
  std::string name = posix::BlockDeviceName(view.sysfs, view.root_devices.front());
  if (name.empty()) GTEST_SKIP() << "no sysfs entry for the root device";
  // The whole disk, when the system is on a partition of it.
  struct stat info = {};
  if (stat((view.sysfs + "/class/block/" + name + "/partition").c_str(), &info) == 0) {
    char resolved[4096];
    ASSERT_NE(realpath((view.sysfs + "/class/block/" + name).c_str(), resolved), nullptr);
    name = std::filesystem::path(resolved).parent_path().filename().string();
  }
  unsigned major_number = 0, minor_number = 0;
  ASSERT_EQ(std::sscanf(ReadFile(view.sysfs + "/class/block/" + name + "/dev").c_str(), "%u:%u",
                        &major_number, &minor_number),
            2);
  const posix::TargetCheck check =
      posix::CheckBlockDevice(makedev(major_number, minor_number), view);
  EXPECT_EQ(check.refusal, posix::TargetRefusal::kSystemDisk) << name;
  EXPECT_EQ(check.name, name);
}

TEST(ProbeRefusalTest, NotRootIsRefusedBeforeLookingAtTheDevice) {
  if (geteuid() == 0) GTEST_SKIP() << "runs as root; the device tests check this with setpriv";
  const CliRun run = RunCli({"probe", "/dev/null", "--yes"}, {{{"LANG", "C"}}});
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_THAT(run.err, HasSubstr("administrator rights"));
}

}  // namespace
}  // namespace kalvex::cli::testing
