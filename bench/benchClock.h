#pragma once
// What every benchmark times with: a monotonic clock in milliseconds, and runs summed up as median,
// fastest and slowest.
#include <time.h>

#include <algorithm>
#include <vector>

// <chrono> is not used: its "\u00b5s" has no GBK form, and some benchmarks compile their literals as GBK.
inline double nowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Timing {
  double median = 0;
  double min = 0;
  double max = 0;
};

inline Timing summarise(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.front(), ms.back()};
}
