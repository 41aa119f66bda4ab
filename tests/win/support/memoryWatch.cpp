#include "support/memoryWatch.h"

#include <psapi.h>

#include <algorithm>

std::size_t privateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters))
    return 0;
  return std::max<std::size_t>(counters.PrivateUsage, counters.PagefileUsage);
}

MemoryWatch::MemoryWatch() : start_(privateBytes()), peak_(start_), thread_([this] { sample(); }) {}

MemoryWatch::~MemoryWatch() {
  stop();
}

void MemoryWatch::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void MemoryWatch::sample() {
  while (!stopping_) {
    peak_ = std::max<std::size_t>(peak_, privateBytes());
    Sleep(2);
  }
  peak_ = std::max<std::size_t>(peak_, privateBytes());
}
