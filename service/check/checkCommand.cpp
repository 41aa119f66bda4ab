#include "service/check/checkCommand.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <thread>

#include "service/check/checkRound.h"
#include "service/check/checkWriter.h"

namespace {

// How long the command keeps offering the last outcomes to a store that refuses them.
constexpr int kLastWritesMs = 30000;

struct Tally {
  std::size_t written = 0;
  std::size_t alive = 0;
  std::size_t notChecked = 0;
};

std::string protocolList(ProtocolSet protocols) {
  std::string names;
  for (ProtocolBit protocol : kProtocols) {
    if (!(protocols & protocol)) continue;
    if (!names.empty()) names += ',';
    names += protocolName(protocol);
  }
  return names;
}

// "1.2.3.4:8080 alive 312 ms http,https anonymous exit 5.6.7.8", "5.6.7.8:3128 refused": the address and
// what the check found, never the entry's credentials.
void printOutcome(std::FILE* out, const SettledCheck& check) {
  const CheckOutcome& outcome = check.outcome;
  std::fprintf(out, "%s:%u %s", check.proxy.address.c_str(), static_cast<unsigned>(check.proxy.port),
               std::string(verdictName(outcome.verdict)).c_str());
  if (outcome.verdict == CheckVerdict::alive) {
    std::fprintf(out, " %u ms %s %s", static_cast<unsigned>(outcome.latencyMs), protocolList(outcome.protocols).c_str(),
                 std::string(anonymityName(outcome.anonymity)).c_str());
    if (!outcome.exit.address.empty()) std::fprintf(out, " exit %s", outcome.exit.address.c_str());
  }
  std::fputc('\n', out);
}

}  // namespace

int runCheck(PoolStore& store, const CheckSettings& settings, std::FILE* out, std::FILE* err,
             const std::atomic<bool>* stop, std::int64_t leaseMs) {
  auto started = std::chrono::steady_clock::now();
  // Everything checked at or before now is due: the whole store, less what other workers hold.
  std::vector<DueProxy> everything = store.claimDue(std::time(nullptr), 0, SIZE_MAX, leaseMs);
  Tally tally;  // the writer thread's, read here once it is joined
  CheckWriter writer(
      [&store](const std::vector<CheckRecord>& records, std::string& error) {
        return store.recordChecks(records, error);
      },
      [&](const std::vector<SettledCheck>& settled) {
        for (const SettledCheck& check : settled) {
          printOutcome(out, check);
          if (!isVerdict(check.outcome.verdict)) {
            ++tally.notChecked;
            continue;
          }
          ++tally.written;
          if (check.outcome.verdict == CheckVerdict::alive) ++tally.alive;
        }
        std::fflush(out);  // a line printed is a check committed, for whoever watches
      },
      [err](const std::string& message) { std::fprintf(err, "quorvelip-service: %s\n", message.c_str()); });

  std::atomic<bool> checking{true};
  std::thread writing([&] {
    auto renewed = std::chrono::steady_clock::now();
    while (checking) {
      writer.waitForWork(250);
      writer.write();
      // The round's entries stay this worker's while it runs: renewed three times a lease.
      if (auto now = std::chrono::steady_clock::now(); now >= renewed + std::chrono::milliseconds(leaseMs / 3)) {
        renewed = now;
        std::size_t held = 0;
        std::string error;
        if (!store.renewLeases(leaseMs, held, error)) {
          std::fprintf(err, "quorvelip-service: leases not renewed: %s\n", error.c_str());
        }
      }
    }
  });
  RoundResult round = runCheckRound(everything, settings, writer, stop);
  checking = false;
  writer.wake();
  writing.join();
  std::size_t unwritten = writer.flush(kLastWritesMs);
  // What was claimed and not checked (a stop) is due again for the others now, not when the lease ends.
  if (std::string error; !store.releaseAllLeases(error)) {
    std::fprintf(err, "quorvelip-service: leases not given back (they run out by themselves): %s\n", error.c_str());
  }

  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  bool stopped = stop && *stop;
  std::fprintf(out, "%schecked %zu", stopped ? "stopped: " : "", tally.written);
  if (stopped) std::fprintf(out, " of %zu", everything.size());
  std::fprintf(out, " in %.1f s (%.1f per second): %zu alive, %zu not", seconds,
               seconds > 0 ? static_cast<double>(tally.written) / seconds : 0.0, tally.alive,
               tally.written - tally.alive);
  if (tally.notChecked > 0) std::fprintf(out, "; %zu not checked (a shortage on this side)", tally.notChecked);
  std::string own;
  for (const std::string& address : round.sight.ownAddresses) own += (own.empty() ? "" : ", ") + address;
  if (!own.empty()) std::fprintf(out, "; the target sees the checker as %s", own.c_str());
  std::fputc('\n', out);
  std::fflush(out);
  if (!round.sight.problem.empty()) {
    std::fprintf(err, "quorvelip-service: no anonymity grades: %s\n", round.sight.problem.c_str());
  }
  int status = 0;
  if (!round.failure.empty()) {
    std::fprintf(err, "quorvelip-service: the round failed: %s\n", round.failure.c_str());
    status = 1;
  }
  if (unwritten > 0) {
    std::fprintf(err, "quorvelip-service: %zu outcomes not written: the store would not take them\n", unwritten);
    status = 1;
  }
  return status;
}
