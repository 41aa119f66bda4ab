#include "service/check/checkRound.h"

#include <ctime>
#include <thread>  // steady_clock, without <chrono>'s literals GBK cannot hold

RoundFigures runCheckRound(PoolStore& store, const std::vector<DueProxy>& due, const CheckSettings& settings,
                           const std::atomic<bool>* stop, const OnRecorded& onRecorded) {
  auto started = std::chrono::steady_clock::now();
  std::vector<CheckCandidate> candidates;
  candidates.reserve(due.size());
  // The candidate's id is its place in `due`, to find the entry again.
  for (std::size_t at = 0; at < due.size(); ++at) {
    candidates.push_back({static_cast<std::int64_t>(at), due[at].address, due[at].port});
  }
  RoundFigures figures;
  checkProxies(
      candidates, settings,
      [&](const CheckOutcome& outcome) {
        const DueProxy& proxy = due[static_cast<std::size_t>(outcome.id)];
        if (!isVerdict(outcome.verdict)) return;  // nothing known of the proxy: the entry stays due
        bool alive = outcome.verdict == CheckVerdict::alive;
        store.recordCheck(proxy.id, alive, outcome.latencyMs, std::time(nullptr));
        ++figures.checks;
        if (alive) ++figures.alive;
        if (onRecorded) onRecorded(proxy, outcome);
      },
      stop);
  figures.milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
  figures.finishedAt = std::time(nullptr);
  return figures;
}
