// fake_proxies: a farm of loopback fake proxies for the end-to-end checks, as a program.
//   fake_proxies KIND[:DELAY_MS]...     KIND: forward hold ownPage errorPage garbage closeMidReply
//                                             hugeReply staleAnswer oldFormat wrongKey wrapsAnswer refusing
// Prints "127.0.0.1:PORT KIND" per proxy, in argument order, then "ready", and serves until SIGTERM
// or SIGINT.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "fakeProxies.h"

int main(int argc, char** argv) {
  static const std::map<std::string, FakeKind> kKinds = {
      {"forward", FakeKind::forward},        {"hold", FakeKind::hold},
      {"ownPage", FakeKind::ownPage},        {"errorPage", FakeKind::errorPage},
      {"garbage", FakeKind::garbage},        {"closeMidReply", FakeKind::closeMidReply},
      {"hugeReply", FakeKind::hugeReply},    {"staleAnswer", FakeKind::staleAnswer},
      {"oldFormat", FakeKind::oldFormat},    {"wrongKey", FakeKind::wrongKey},
      {"wrapsAnswer", FakeKind::wrapsAnswer}};
  // Block the stop signals before any thread starts, so that only sigwait receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  FakeProxyFarm farm;
  for (int at = 1; at < argc; ++at) {
    std::string argument = argv[at];
    std::size_t colon = argument.find(':');
    std::string kind = argument.substr(0, colon);
    int delayMs = colon == std::string::npos ? 0 : std::atoi(argument.c_str() + colon + 1);
    CheckCandidate candidate;
    if (kind == "refusing") {
      candidate = FakeProxyFarm::refusing(at);
    } else if (auto found = kKinds.find(kind); found != kKinds.end()) {
      candidate = farm.add({found->second, delayMs, 0, 0}, at);
    } else {
      std::fprintf(stderr, "fake_proxies: unknown kind %s\n", kind.c_str());
      return 2;
    }
    std::printf("%s:%u %s\n", candidate.address.c_str(), static_cast<unsigned>(candidate.port), argument.c_str());
  }
  std::puts("ready");
  std::fflush(stdout);
  int received = 0;
  sigwait(&stopSignals, &received);
  return 0;
}
