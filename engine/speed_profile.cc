#include "engine/speed_profile.h"

namespace kalvex {

namespace {
constexpr uint64_t kMaxStepMB = 256;
constexpr uint64_t kMaxSteps = uint64_t{1} << 20;
}  // namespace

uint64_t ProfileStepMB(uint64_t size_mb) {
  uint64_t step = size_mb / 100;
  if (step > kMaxStepMB) step = kMaxStepMB;
  if (step == 0) step = 1;
  while (size_mb / step > kMaxSteps) step *= 2;
  return step;
}

std::vector<double> SpeedProfile::Rates(int64_t start, const std::vector<int64_t>& done) const {
  std::vector<double> rates;
  rates.reserve(done.size());
  int64_t previous = start;
  for (const int64_t end : done) {
    const double seconds =
        frequency > 0 ? static_cast<double>(end - previous) / static_cast<double>(frequency) : 0;
    rates.push_back(seconds > 0 ? static_cast<double>(step_mb) / seconds : 0.0);
    previous = end;
  }
  return rates;
}

}  // namespace kalvex
