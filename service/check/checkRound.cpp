#include "service/check/checkRound.h"

#include <ctime>
#include <exception>
#include <thread>  // steady_clock, without <chrono>'s literals GBK cannot hold

RoundResult runCheckRound(const std::vector<DueProxy>& due, const CheckSettings& settings, CheckWriter& writer,
                          const std::atomic<bool>* stop) {
  auto started = std::chrono::steady_clock::now();
  RoundResult result;
  std::vector<bool> ended(due.size(), false);
  try {
    std::vector<CheckCandidate> candidates;
    candidates.reserve(due.size());
    // The candidate's id is its place in `due`, to find the entry again.
    for (std::size_t at = 0; at < due.size(); ++at) {
      const DueProxy& entry = due[at];
      candidates.push_back({static_cast<std::int64_t>(at), entry.address, entry.port, entry.scheme, entry.username,
                            entry.password, entry.protocols, entry.failedProtocols, entry.probedAt});
    }
    result.sight = checkProxies(
        candidates, settings,
        [&](const CheckOutcome& outcome) {
          std::size_t at = static_cast<std::size_t>(outcome.id);
          ended[at] = true;
          CheckOutcome settled = outcome;
          settled.id = due[at].id;
          writer.add(due[at], settled);
          if (!isVerdict(outcome.verdict)) {
            ++result.notChecked;
            return;
          }
          ++result.figures.checks;
          if (outcome.verdict == CheckVerdict::alive) ++result.figures.alive;
        },
        stop);
  } catch (const std::exception& failure) {
    result.failure = failure.what();
  } catch (...) {
    result.failure = "unknown failure";
  }
  for (std::size_t at = 0; at < due.size(); ++at) {
    if (!ended[at]) result.unfinished.push_back(due[at].id);
  }
  result.figures.milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
  result.figures.finishedAt = std::time(nullptr);
  return result;
}
