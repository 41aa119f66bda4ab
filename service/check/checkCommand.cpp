#include "service/check/checkCommand.h"

#include <ctime>
#include <string>

#include "service/check/checkRound.h"

int runCheck(PoolStore& store, const CheckSettings& settings, std::FILE* out) {
  // Everything checked at or before now is due: the whole store.
  std::vector<DueProxy> everything = store.due(std::time(nullptr), 0);
  RoundFigures figures =
      runCheckRound(store, everything, settings, nullptr, [out](const DueProxy& proxy, const CheckOutcome& outcome) {
        std::string verdict(verdictName(outcome.verdict));
        std::fprintf(out, "%s:%u %s", proxy.address.c_str(), static_cast<unsigned>(proxy.port), verdict.c_str());
        if (outcome.verdict == CheckVerdict::alive)
          std::fprintf(out, " %u ms", static_cast<unsigned>(outcome.latencyMs));
        std::fputc('\n', out);
        std::fflush(out);  // a line printed is a check committed, for whoever watches
      });
  double seconds = static_cast<double>(figures.milliseconds) / 1000.0;
  std::fprintf(out, "checked %zu in %.1f s (%.1f per second): %zu alive, %zu not\n", figures.checks, seconds,
               seconds > 0 ? static_cast<double>(figures.checks) / seconds : 0.0, figures.alive,
               figures.checks - figures.alive);
  return 0;
}
