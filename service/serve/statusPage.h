#pragma once
// GET /status: a small page for a person in a browser (UTF-8 HTML): live and dead entries by region
// and by carrier, and what the last check round did.
#include <cstdint>
#include <string>

#include "service/store/poolSnapshot.h"

inline constexpr char kStatusPath[] = "/status";
inline constexpr char kStatusContentType[] = "text/html; charset=utf-8";

struct StatusSettings {
  std::string checkUrl;  // empty: unchecked
  std::int64_t recheckEverySeconds = 0;
};

std::string renderStatusPage(const PoolSnapshot& snapshot, const StatusSettings& settings);
