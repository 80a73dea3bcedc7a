// The simulated medium behind the served file: every read and write of the
// file comes here, whatever the file system layer above it does. Safe to
// use from several threads at once.
//
// A request is handled in this order: a medium that is gone fails it (and
// it counts toward --vanish-after first); it is cut at the advertised size;
// an error range it touches fails it whole; the throttle delays it; then the
// data goes through the address map, and reads get their bit flips.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>

#include "tools/fakemedium/address_map.h"
#include "tools/fakemedium/bit_flips.h"
#include "tools/fakemedium/event_log.h"
#include "tools/fakemedium/settings.h"
#include "tools/fakemedium/store.h"
#include "tools/fakemedium/throttle.h"
#include "tools/fakemedium/vanish_switch.h"
#include "tools/fakemedium/written_map.h"

namespace kalvex::fakemedium {

class Medium {
 public:
  // The store must hold at least settings.real bytes.
  Medium(const Settings& settings, std::unique_ptr<Store> store, std::unique_ptr<EventLog> log);

  uint64_t size() const { return m_map.advertised(); }

  // The bytes moved (fewer at the end of the medium, 0 past it for reads),
  // or a negative errno. A write that starts at or past the end fails with
  // ENOSPC, as a full block device does.
  ssize_t Read(uint64_t offset, size_t length, unsigned char* out);
  ssize_t Write(uint64_t offset, size_t length, const unsigned char* in);

  // 0, or a positive errno: opening and flushing fail too once it is gone.
  int Presence() const;
  int Sync();

  void PullOnSignal() { m_vanish.PullOnSignal(); }

  // Saves the map of the test offsets written to settings.written_map_path;
  // 0 (also when there is no such path) or an errno.
  int SaveWrittenMap() const;
  // None without --written-map.
  const WrittenMap* written_map() const { return m_written.get(); }

 private:
  int ReadPieces(uint64_t offset, uint64_t length, unsigned char* out);
  int WritePieces(uint64_t offset, uint64_t length, const unsigned char* in);
  ssize_t FailRead(int error, uint64_t offset, uint64_t length);
  ssize_t FailWrite(int error, uint64_t offset, uint64_t length, const unsigned char* in);

  const Settings m_settings;
  const AddressMap m_map;
  const FlipPlan m_flips;
  std::unique_ptr<Store> m_store;
  std::unique_ptr<EventLog> m_log;
  Throttle m_throttle;
  VanishSwitch m_vanish;
  std::unique_ptr<WrittenMap> m_written;
  // With a written map, the store and the map must see overlapping writes
  // in the same order, or the map could name data the store no longer has.
  std::mutex m_writeOrder;
};

}  // namespace kalvex::fakemedium
