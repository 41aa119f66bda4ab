#pragma once
// The process's private bytes (commit charge), sampled every few milliseconds on a thread of its
// own to catch the peak of one operation. Wine reports them as PagefileUsage (its PrivateUsage
// stays 0), Windows as both, so the larger of the two is taken.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <thread>

std::size_t privateBytes();

class MemoryWatch {
 public:
  MemoryWatch();
  ~MemoryWatch();
  MemoryWatch(const MemoryWatch&) = delete;
  MemoryWatch& operator=(const MemoryWatch&) = delete;

  void stop();
  std::size_t atStart() const { return start_; }
  std::size_t peak() const { return peak_; }
  // Peak above the start, in bytes.
  std::size_t peakGrowth() const { return peak_ > start_ ? peak_ - start_ : 0; }

 private:
  void sample();

  std::size_t start_;
  std::atomic<std::size_t> peak_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};
