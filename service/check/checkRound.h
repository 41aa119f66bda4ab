#pragma once
// One round of checks over entries of the store: each outcome is written as it arrives, in its own
// transaction, so a crash in the middle loses only the checks still in flight.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "service/check/checker.h"
#include "service/store/poolStore.h"
#include "service/store/roundFigures.h"

// Called after an outcome is committed.
using OnRecorded = std::function<void(const DueProxy&, const CheckOutcome&)>;

RoundFigures runCheckRound(PoolStore& store, const std::vector<DueProxy>& due, const CheckSettings& settings,
                           const std::atomic<bool>* stop = nullptr, const OnRecorded& onRecorded = {});
