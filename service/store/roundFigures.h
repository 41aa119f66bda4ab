#pragma once
// What one check round did, for the status page.
#include <cstddef>
#include <cstdint>

struct RoundFigures {
  std::size_t checks = 0;
  std::size_t alive = 0;
  std::int64_t milliseconds = 0;  // the round's duration
  std::int64_t finishedAt = 0;    // Unix seconds
};
