#pragma once
// The status page's two charts, drawn by the server as inline SVG (no script, nothing fetched): the live
// entries at the end of each of the last rounds, and how fast the live entries are. Each is a fixed
// frame of a few KiB whatever the pool holds.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "service/store/poolSnapshot.h"

inline constexpr std::size_t kLatencyBuckets = 7;

// The upper ends of the buckets in milliseconds: below 50, 50 to 100, 100 to 200, 200 to 500, 500 ms to
// 1 s, 1 to 2 s; the last bucket holds 2 s and more.
inline constexpr std::array<std::uint32_t, kLatencyBuckets - 1> kLatencyBucketEnds = {50, 100, 200, 500, 1000, 2000};

// The served entries' latencies by bucket; all zero for an unchecked pool, whose latencies are not measured.
std::array<std::size_t, kLatencyBuckets> latencyBuckets(const PoolSnapshot& snapshot);

// <svg id="history">: a bar per round, newest at the right, on a frame of kRoundHistory places.
void appendHistoryChart(std::string& page, const std::vector<RoundPoint>& history);

// <svg id="latency">: a bar per bucket with its count over it.
void appendLatencyChart(std::string& page, const std::array<std::size_t, kLatencyBuckets>& buckets);
