#define FUSE_USE_VERSION 31
#include "tools/fakemedium/fuse_server.h"

#include <fuse.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace kalvex::fakemedium {

namespace {

const std::string kServedPath = std::string("/") + kServedName;

Medium& TheMedium() { return *static_cast<Medium*>(fuse_get_context()->private_data); }

// SIGUSR1 and SIGUSR2 stay blocked in every thread (the mask is set before
// FUSE starts any) and are taken here instead, outside a signal handler, so
// that the vanish is recorded in the log the moment it happens and the map
// can be written with the usual locks and files.
sigset_t SignalsTakenHere() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGUSR1);
  sigaddset(&set, SIGUSR2);
  return set;
}

// Joined before Serve returns: the medium it points to goes right after,
// and a signal then must not reach it.
std::thread g_signalThread;
std::atomic<bool> g_signalThreadStop{false};

void WaitForSignals(Medium* medium) {
  const sigset_t set = SignalsTakenHere();
  for (;;) {
    int signal_number = 0;
    if (sigwait(&set, &signal_number) != 0) continue;
    if (g_signalThreadStop.load()) return;
    if (signal_number == SIGUSR1) {
      medium->PullOnSignal();
    } else if (const int error = medium->SaveWrittenMap(); error != 0) {
      std::fprintf(stderr, "fakemedium: cannot save the written map: %s\n",
                   std::strerror(error));
    }
  }
}

void StopSignalThread() {
  if (!g_signalThread.joinable()) return;
  g_signalThreadStop.store(true);
  pthread_kill(g_signalThread.native_handle(), SIGUSR2);
  g_signalThread.join();
}

void BlockSignalsTakenHere() {
  const sigset_t set = SignalsTakenHere();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void* Init(fuse_conn_info* /*connection*/, fuse_config* /*config*/) {
  Medium* medium = static_cast<Medium*>(fuse_get_context()->private_data);
  // Started here, after FUSE has gone into the background: a fork keeps
  // only the thread that calls it.
  g_signalThread = std::thread(WaitForSignals, medium);
  return medium;
}

int GetAttr(const char* path, struct stat* info, fuse_file_info* /*file*/) {
  std::memset(info, 0, sizeof(*info));
  info->st_uid = getuid();
  info->st_gid = getgid();
  if (std::strcmp(path, "/") == 0) {
    info->st_mode = S_IFDIR | 0755;
    info->st_nlink = 2;
    return 0;
  }
  if (kServedPath != path) return -ENOENT;
  info->st_mode = S_IFREG | 0644;
  info->st_nlink = 1;
  info->st_size = static_cast<off_t>(TheMedium().size());
  info->st_blocks = static_cast<blkcnt_t>(TheMedium().size() / 512);
  info->st_blksize = 4096;
  return 0;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t /*offset*/,
            fuse_file_info* /*file*/, fuse_readdir_flags /*flags*/) {
  if (std::strcmp(path, "/") != 0) return -ENOTDIR;
  for (const char* name : {".", "..", kServedName})
    fill(buffer, name, nullptr, 0, fuse_fill_dir_flags{});
  return 0;
}

// Every open gets direct I/O, whatever flags it asks for: a page cache here
// would answer reads that the medium must see.
int Open(const char* path, fuse_file_info* file) {
  if (kServedPath != path) return -ENOENT;
  if (const int error = TheMedium().Presence(); error != 0) return -error;
  file->direct_io = 1;
  file->keep_cache = 0;
  return 0;
}

// FUSE never asks for more than its max_read or max_write (a few MiB at
// most), so the count fits the int these return.
int Read(const char* /*path*/, char* buffer, size_t length, off_t offset,
         fuse_file_info* /*file*/) {
  return static_cast<int>(TheMedium().Read(static_cast<uint64_t>(offset), length,
                                           reinterpret_cast<unsigned char*>(buffer)));
}

int Write(const char* /*path*/, const char* buffer, size_t length, off_t offset,
          fuse_file_info* /*file*/) {
  return static_cast<int>(TheMedium().Write(static_cast<uint64_t>(offset), length,
                                            reinterpret_cast<const unsigned char*>(buffer)));
}

// The size is the advertised capacity for good. Truncation is ignored, as
// O_TRUNC is on a block device, so "cat image > medium" works like on one.
int Truncate(const char* path, off_t /*size*/, fuse_file_info* /*file*/) {
  return kServedPath == path ? 0 : -ENOENT;
}

int FSync(const char* /*path*/, int /*data_only*/, fuse_file_info* /*file*/) {
  return -TheMedium().Sync();
}

int StatFs(const char* /*path*/, struct statvfs* info) {
  std::memset(info, 0, sizeof(*info));
  info->f_bsize = 512;
  info->f_frsize = 512;
  info->f_blocks = TheMedium().size() / 512;
  info->f_files = 1;
  info->f_namemax = 255;
  return 0;
}

fuse_operations Operations() {
  fuse_operations operations = {};
  operations.init = Init;
  operations.getattr = GetAttr;
  operations.readdir = ReadDir;
  operations.open = Open;
  operations.read = Read;
  operations.write = Write;
  operations.truncate = Truncate;
  operations.fsync = FSync;
  operations.statfs = StatFs;
  return operations;
}

}  // namespace

int Serve(Medium& medium, const Settings& settings, const char* program) {
  // libfuse 3.14 warns about an unset idle thread limit unless one is given.
  std::vector<std::string> args = {program, settings.mount_point, "-o",
                                   "fsname=fakemedium,subtype=fakemedium,max_idle_threads=4"};
  if (settings.foreground) args.push_back("-f");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  BlockSignalsTakenHere();
  const fuse_operations operations = Operations();
  const int status =
      fuse_main(static_cast<int>(argv.size()), argv.data(), &operations, &medium);
  // FUSE has joined its own threads by now, Init's among them.
  StopSignalThread();
  return status;
}

}  // namespace kalvex::fakemedium
