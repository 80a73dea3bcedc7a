// Where a run was fast and where it crawled: the moment each step of the
// test data was done, for the write pass and for the current verify pass.
// Filled by the worker during its once-per-block counter update, from
// storage made before the run: no allocation and no extra lock in the hot
// path.
#pragma once

#include <cstdint>
#include <vector>

namespace kalvex {

struct SpeedProfile {
  uint64_t step_mb = 0;     // MByte of test data per step
  int64_t frequency = 0;    // counts per second of the times below
  int64_t write_start = 0;  // counter value when the write pass began
  int64_t verify_start = 0;
  // Counter value at the end of each step; as many as were done.
  std::vector<int64_t> write_done;
  std::vector<int64_t> verify_done;

  // MByte/s of every step done, from the counters.
  std::vector<double> WriteRates() const { return Rates(write_start, write_done); }
  std::vector<double> VerifyRates() const { return Rates(verify_start, verify_done); }

 private:
  std::vector<double> Rates(int64_t start, const std::vector<int64_t>& done) const;
};

// The step for a run of size_mb: one per cent of it or 256 MByte, whichever
// is finer, at least 1 MByte; coarser only when a step list would grow
// beyond a million entries (a size that could not be resolved).
uint64_t ProfileStepMB(uint64_t size_mb);

}  // namespace kalvex
