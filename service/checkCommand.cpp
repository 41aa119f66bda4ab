#include "service/checkCommand.h"

#include <ctime>
#include <string>

#include "service/checkRound.h"

int runCheck(PoolStore& store, const CheckSettings& settings, std::FILE* out) {
  // Everything checked at or before now is due: the whole store.
  std::vector<DueProxy> everything = store.due(std::time(nullptr), 0);
  RoundFigures figures =
      runCheckRound(store, everything, settings, nullptr, [out](const DueProxy& proxy, const CheckOutcome& outcome) {
        std::string verdict(verdictName(outcome.verdict));
        if (outcome.verdict == CheckVerdict::alive) verdict += " " + std::to_string(outcome.latencyMs) + " ms";
        std::fprintf(out, "%s:%u %s\n", proxy.address.c_str(), static_cast<unsigned>(proxy.port), verdict.c_str());
        std::fflush(out);  // a line printed is a check committed, for whoever watches
      });
  double seconds = static_cast<double>(figures.milliseconds) / 1000.0;
  std::fprintf(out, "checked %zu in %.1f s (%.1f per second): %zu alive, %zu not\n", figures.checks, seconds,
               seconds > 0 ? static_cast<double>(figures.checks) / seconds : 0.0, figures.alive,
               figures.checks - figures.alive);
  return 0;
}
