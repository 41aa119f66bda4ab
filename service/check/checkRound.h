#pragma once
// One round of checks over entries of the store, on the calling thread, which does nothing but the
// network: each outcome goes to the writer (checkWriter.h), which commits it on its own thread.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "service/check/checkWriter.h"
#include "service/check/checker.h"
#include "service/store/poolStore.h"
#include "service/store/roundFigures.h"

struct RoundResult {
  RoundFigures figures;                  // the checks that gave a verdict, and how many said alive
  std::size_t notChecked = 0;            // outcomes that were a shortage on this side
  std::vector<std::int64_t> unfinished;  // ids of the entries whose check never ended (stopped, failed)
  std::string failure;                   // why the round ended on its own before its end; empty if it did not
  CheckRoundFacts sight;                 // the checker's own address(es) as the target saw them
};

// What ends the round early (a libcurl failure, a bad setting) comes back in `failure`, not thrown.
RoundResult runCheckRound(const std::vector<DueProxy>& due, const CheckSettings& settings, CheckWriter& writer,
                          const std::atomic<bool>* stop = nullptr);
