#pragma once
// Timing helpers for the Windows benchmarks: repeated runs, median with min and max.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

struct Timing {
  double median = 0, min = 0, max = 0;  // milliseconds
};

inline double nowMs() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline Timing summarise(std::vector<double> samples) {
  if (samples.empty()) return {};
  std::sort(samples.begin(), samples.end());
  return {samples[samples.size() / 2], samples.front(), samples.back()};
}

inline Timing timeRuns(int runs, const std::function<void()>& work) {
  std::vector<double> samples;
  for (int i = 0; i < runs; ++i) {
    double start = nowMs();
    work();
    samples.push_back(nowMs() - start);
  }
  return summarise(samples);
}

// One line per figure, the same shape in every benchmark, so scripts/bench can gather them:
// RESULT <figure> <median> <min> <max> <baseline median> <unit>
inline void printResult(const char* figure, const Timing& ours, const Timing& baseline, const char* unit = "ms") {
  std::printf("RESULT %s %.3f %.3f %.3f %.3f %s\n", figure, ours.median, ours.min, ours.max, baseline.median, unit);
  std::printf("  %-28s median %9.3f %s (min %.3f, max %.3f)  baseline %9.3f %s  ratio %.2f\n", figure, ours.median,
              unit, ours.min, ours.max, baseline.median, unit, baseline.median > 0 ? ours.median / baseline.median : 0);
  std::fflush(stdout);
}
