#pragma once
// GET /status: a small page for a person in a browser (UTF-8 HTML): live entries by protocol and by
// anonymity grade, two charts (statusCharts.h: the live count after each of the last rounds, the live
// entries' latencies), live and dead entries by region and by carrier (the largest kStatusRows of each and
// one row for the rest, so the page stays small however many names the pool holds), what the last check
// round did, and what the HTTP front refused.
#include <cstdint>
#include <string>
#include <string_view>

#include "service/serve/httpServer.h"
#include "service/store/poolSnapshot.h"

inline constexpr char kStatusPath[] = "/status";
inline constexpr char kStatusContentType[] = "text/html; charset=utf-8";
inline constexpr std::size_t kStatusRows = 30;

struct StatusSettings {
  std::string checkUrl;  // empty: unchecked
  std::int64_t recheckEverySeconds = 0;
};

// `counters`, when given, add the front's refusals and cuts by kind.
std::string renderStatusPage(const PoolSnapshot& snapshot, const StatusSettings& settings,
                             const ServerCounters* counters = nullptr);

// The same in two parts: what the snapshot alone decides (so it can be kept per snapshot), and the page
// made of it with the counters as they are now.
std::string renderStatusSnapshot(const PoolSnapshot& snapshot, const StatusSettings& settings);
std::string finishStatusPage(std::string_view snapshotPart, const ServerCounters* counters);
