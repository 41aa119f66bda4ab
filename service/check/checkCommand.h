#pragma once
// quorvelip-service check: one round over every entry of the store that no other worker holds (each
// claimed under a lease, renewed while the round runs), each outcome printed once it is committed
// ("1.2.3.4:8080 alive 312 ms http,https anonymous exit 5.6.7.9", "5.6.7.8:3128 refused"), then a summary;
// never an entry's credentials. The network runs on the calling thread, the commits and renewals on a
// writer thread of their own. (`check --forever` is the keeper.)
#include <atomic>
#include <cstdint>
#include <cstdio>

#include "service/check/checker.h"
#include "service/store/poolStore.h"

// Once `stop` is set (a signal), the round ends, the outcomes that arrived are written and printed,
// and the summary says it stopped. Returns the exit status: 0, or 1 when outcomes could not be written
// (the store refused them for longer than the command waits) or the round failed on its own.
int runCheck(PoolStore& store, const CheckSettings& settings, std::FILE* out, std::FILE* err,
             const std::atomic<bool>* stop = nullptr, std::int64_t leaseMs = 60000);
