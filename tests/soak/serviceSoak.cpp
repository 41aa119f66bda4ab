// service_soak: the long soak of the real extraction service. Starts the service binary on a free
// loopback port, sends it a bounded number of random and malformed queries from concurrent clients
// (and a few requests that are not HTTP at all), checks every answer, and compares the service's
// resident memory after a warm-up with the end of the run; then malformed requests of every kind the
// HTTP front must refuse or survive (tests/soak/badRequests.h), the memory compared the same way, and
// the service still answering right. Stops by itself; exit 1 on any fault.
//   service_soak --service PATH [--requests N] [--bad-requests N] [--threads N] [--seconds N] [--seed N]
//                [--rss-growth-kib N]
// --rss-growth-kib is the growth allowed after the warm-up (default 8192; 0: not checked, for a
// sanitizer build whose allocator keeps growing its caches for a while).
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/soak/badRequests.h"
#include "tests/soak/queryMix.h"

extern char** environ;

namespace {

struct Options {
  std::string service;
  long requests = 10000;
  long badRequests = 2000;
  int threads = 8;
  long seconds = 600;
  unsigned seed = 20240611;
  long rssGrowthKiB = 8 * 1024;
};

bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    char* value = argv[i + 1];
    if (name == "--service") {
      options.service = value;
    } else if (name == "--requests") {
      options.requests = std::atol(value);
    } else if (name == "--bad-requests") {
      options.badRequests = std::atol(value);
    } else if (name == "--threads") {
      options.threads = std::atoi(value);
    } else if (name == "--seconds") {
      options.seconds = std::atol(value);
    } else if (name == "--seed") {
      options.seed = static_cast<unsigned>(std::atol(value));
    } else if (name == "--rss-growth-kib") {
      options.rssGrowthKiB = std::atol(value);
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && !options.service.empty() && options.requests > 0 && options.badRequests >= 0 &&
         options.threads > 0 && options.seconds > 0 && options.rssGrowthKiB >= 0;
}

// The service process, started with "--port 0"; its start-up line names the port and pool size.
struct Service {
  pid_t pid = -1;
  int port = 0;
  size_t poolSize = 0;
};

Service startService(const std::string& path) {
  Service service;
  int out[2];
  if (pipe(out) != 0) return service;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  // A short head deadline: one kind of malformed request announces a body it never sends.
  std::string portOption = "--port", anyPort = "0", headOption = "--head-timeout",
              headTimeout = std::to_string(soak::kBadRequestHeadTimeoutMs) + "ms";
  char* arguments[] = {const_cast<char*>(path.c_str()),
                       portOption.data(),
                       anyPort.data(),
                       headOption.data(),
                       headTimeout.data(),
                       nullptr};
  if (posix_spawn(&service.pid, path.c_str(), &actions, nullptr, arguments, environ) != 0) service.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string line;
  pollfd ready{out[0], POLLIN, 0};
  while (service.pid > 0 && line.find('\n') == std::string::npos && poll(&ready, 1, 10000) > 0) {
    char buffer[256];
    ssize_t got = read(out[0], buffer, sizeof buffer);
    if (got <= 0) break;
    line.append(buffer, static_cast<size_t>(got));
  }
  close(out[0]);
  size_t at = line.find("listening on http://127.0.0.1:");
  if (at != std::string::npos) service.port = std::atoi(line.c_str() + at + 30);
  service.poolSize = std::strtoul(line.c_str() + line.find(':') + 1, nullptr, 10);
  return service;
}

long residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

bool alive(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == 0;
}

// A request that is not HTTP: the service must answer it with a 4xx status, or close.
std::string sendGarbage(int port, std::mt19937& random) {
  int connection = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(connection);
    return "garbage: no connection";
  }
  std::string garbage;
  for (unsigned length = 1 + random() % 600; length > 0; --length) garbage += static_cast<char>(random() % 256);
  static const std::vector<std::string> shapes = {"", "GET\r\n", "GET /mo.php?tqsl=1 HTTP/9.9\r\n",
                                                  "POST /mo.php HTTP/1.1\r\nContent-Length: 99999999999\r\n"};
  garbage = soak::pick(random, shapes) + garbage + "\r\n\r\n";
  (void)!write(connection, garbage.data(), garbage.size());
  shutdown(connection, SHUT_WR);
  std::string answer;
  pollfd ready{connection, POLLIN, 0};
  while (poll(&ready, 1, 5000) > 0) {
    char buffer[4096];
    ssize_t got = read(connection, buffer, sizeof buffer);
    if (got <= 0) break;
    answer.append(buffer, static_cast<size_t>(got));
  }
  close(connection);
  if (answer.empty() || answer.rfind("HTTP/1.1 4", 0) == 0) return {};
  return "garbage answered with \"" + answer.substr(0, 20) + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: service_soak --service PATH [--requests N] [--bad-requests N] [--threads N] [--seconds N] "
                 "[--seed N] [--rss-growth-kib N]\n");
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  Service service = startService(options.service);
  if (service.pid <= 0 || service.port <= 0) {
    std::fprintf(stderr, "service_soak: the service did not start (%s)\n", options.service.c_str());
    if (service.pid > 0) kill(service.pid, SIGTERM);
    return 1;
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds);
  const long warmUp = std::max(1L, options.requests / 10);
  std::atomic<long> next{0};
  std::atomic<long> answered{0}, unanswered{0}, garbageSent{0};
  std::atomic<long> residentAfterWarmUp{-1}, residentPeak{0};
  std::mutex lock;
  std::map<int, long> statuses;
  std::vector<std::string> faults;
  auto record = [&](const std::string& fault) {
    std::lock_guard guard(lock);
    if (faults.size() < 20) faults.push_back(fault);
  };

  const auto started = std::chrono::steady_clock::now();
  std::vector<std::thread> clients;
  for (int t = 0; t < options.threads; ++t) {
    clients.emplace_back([&, t] {
      std::mt19937 random(options.seed + static_cast<unsigned>(t));
      httplib::Client client("127.0.0.1", service.port);
      client.set_url_encode(false);
      client.set_keep_alive(t % 2 == 0);
      client.set_read_timeout(30, 0);
      for (long n = next++; n < options.requests && std::chrono::steady_clock::now() < deadline; n = next++) {
        if (n == warmUp) residentAfterWarmUp = residentKiB(service.pid);
        if (n % 500 == 0) residentPeak = std::max<long>(residentPeak, residentKiB(service.pid));
        if (random() % 50 == 0) {
          ++garbageSent;
          std::string fault = sendGarbage(service.port, random);
          if (!fault.empty()) record(fault);
          continue;
        }
        soak::Query query = soak::makeQuery(random);
        httplib::Result result = client.Get(query.target);
        if (!result) {
          ++unanswered;
          record("no answer (" + httplib::to_string(result.error()) + ") for " + query.target.substr(0, 60));
          continue;
        }
        ++answered;
        {
          std::lock_guard guard(lock);
          ++statuses[result->status];
        }
        std::string fault = soak::checkAnswer(query, result->status, result->get_header_value("Content-Type"),
                                              result->body, service.poolSize);
        if (!fault.empty()) record(fault + " for " + query.target.substr(0, 60));
      }
    });
  }
  for (std::thread& client : clients) client.join();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  long residentEnd = residentKiB(service.pid);

  // Malformed requests, the memory after a tenth of them against the end.
  const long badWarmUp = options.badRequests / 10;
  std::atomic<long> nextBad{0};
  std::atomic<long> residentBadStart{-1};
  std::map<std::string, long> badKinds;
  const auto badStarted = std::chrono::steady_clock::now();
  std::vector<std::thread> bad;
  for (int t = 0; t < options.threads; ++t) {
    bad.emplace_back([&, t] {
      std::mt19937 random(options.seed + 1000 + static_cast<unsigned>(t));
      for (long n = nextBad++; n < options.badRequests && std::chrono::steady_clock::now() < deadline; n = nextBad++) {
        if (n == badWarmUp) residentBadStart = residentKiB(service.pid);
        soak::BadRequest request = soak::makeBadRequest(random);
        std::string fault = soak::tryBadRequest(service.port, request);
        if (!fault.empty()) record(fault);
        std::lock_guard guard(lock);
        ++badKinds[request.kind];
      }
    });
  }
  for (std::thread& client : bad) client.join();
  double badSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - badStarted).count();
  long residentBadEnd = residentKiB(service.pid);
  // Still answering right after all of it.
  {
    httplib::Client client("127.0.0.1", service.port);
    client.set_url_encode(false);
    soak::Query twenty;
    twenty.count = 20;
    twenty.prefix = "11";
    twenty.port = 18186;
    httplib::Result last = client.Get("/mo.php?tqsl=%32%30&ktip=%31%31&ports[]2=%31%38%31%38%36");
    std::string fault = last ? soak::checkAnswer(twenty, last->status, last->get_header_value("Content-Type"),
                                                 last->body, service.poolSize)
                             : "no answer after the malformed requests";
    if (!fault.empty()) record("after the malformed requests: " + fault);
    if (last && soak::listedIn(last->body).entries.size() != 20) record("after the malformed requests: not 20 listed");
  }
  residentPeak = std::max<long>(residentPeak, residentEnd);
  bool survived = alive(service.pid);
  kill(service.pid, SIGTERM);
  int status = 0;
  waitpid(service.pid, &status, 0);

  long sent = std::min<long>(next, options.requests);
  long growth = residentEnd - residentAfterWarmUp;
  // Flat: what the warm-up did not reach stays within a few MiB (allocator arenas settling).
  long badGrowth = residentBadEnd - residentBadStart;
  bool flat = options.rssGrowthKiB == 0 ||
              (residentAfterWarmUp > 0 && growth <= options.rssGrowthKiB &&
               (options.badRequests == 0 || (residentBadStart > 0 && badGrowth <= options.rssGrowthKiB)));
  std::printf(
      "service soak: %ld requests (%ld queries answered, %ld not; %ld non-HTTP) from %d clients in %.1f s "
      "(%.0f/s)\n",
      sent, answered.load(), unanswered.load(), garbageSent.load(), options.threads, seconds, sent / seconds);
  std::printf("service soak: statuses");
  for (const auto& [code, count] : statuses) std::printf(" %d:%ld", code, count);
  std::printf(
      "\nservice soak: VmRSS %ld KiB after the %ld-request warm-up, %ld KiB at the end (%+ld KiB), peak %ld "
      "KiB\n",
      residentAfterWarmUp.load(), warmUp, residentEnd, growth, residentPeak.load());
  std::printf("service soak: %ld malformed requests in %.1f s:", std::min<long>(nextBad, options.badRequests),
              badSeconds);
  for (const auto& [kind, count] : badKinds) std::printf(" %s %ld;", kind.c_str(), count);
  std::printf("\nservice soak: VmRSS %ld KiB after the first %ld malformed, %ld KiB after them all (%+ld KiB)\n",
              residentBadStart.load(), badWarmUp, residentBadEnd, badGrowth);
  if (options.rssGrowthKiB == 0) std::printf("service soak: memory growth not checked (--rss-growth-kib 0)\n");
  std::printf("service soak: service %s the load; faults: %zu\n", survived ? "survived" : "DIED during", faults.size());
  for (const std::string& fault : faults) std::printf("  FAULT: %s\n", fault.c_str());
  bool complete = sent == options.requests && std::min<long>(nextBad, options.badRequests) == options.badRequests;
  if (!complete) std::printf("service soak: stopped at the %ld s limit after %ld requests\n", options.seconds, sent);
  bool ok = survived && faults.empty() && unanswered == 0 && flat && complete;
  std::printf("service soak: %s\n", ok ? "PASSED" : "FAILED");
  return ok ? 0 : 1;
}
