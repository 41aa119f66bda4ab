#pragma once
// quorvelip-service check: one round over every entry of the store, each outcome printed once it is
// committed ("1.2.3.4:8080 alive 312 ms http,https anonymous exit 5.6.7.9", "5.6.7.8:3128 refused"), then
// a summary; never an entry's credentials. The network runs on
// the calling thread, the commits on a writer thread of their own.
#include <atomic>
#include <cstdio>

#include "service/check/checker.h"
#include "service/store/poolStore.h"

// Once `stop` is set (a signal), the round ends, the outcomes that arrived are written and printed,
// and the summary says it stopped. Returns the exit status: 0, or 1 when outcomes could not be written
// (the store refused them for longer than the command waits) or the round failed on its own.
int runCheck(PoolStore& store, const CheckSettings& settings, std::FILE* out, std::FILE* err,
             const std::atomic<bool>* stop = nullptr);
