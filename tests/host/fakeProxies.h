#pragma once
// Loopback stand-ins for the live check: a check target (the service's own /check route on an
// ephemeral port) and a farm of fake HTTP proxies, each listening on its own 127.x address and port and
// misbehaving in one chosen way. One acceptor thread watches every listening socket (so a farm can hold
// thousands), and a few worker threads answer the accepted connections.
#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "service/check/checkKey.h"
#include "service/check/checker.h"
#include "service/serve/httpServer.h"
#include "service/store/poolSnapshot.h"
#include "service/store/poolStore.h"

// GET from a server on 127.0.0.1, the target sent byte for byte, as the program sends it.
httplib::Result getLoopback(int port, const std::string& target);

// The service's HTTP front on 127.0.0.1, any free port, serving in a thread of its own until destroyed.
class LoopbackServer {
 public:
  using Answer = std::function<HttpAnswer(const HttpRequest&)>;
  // Statuses the front decides itself get the service's pages (refusalAnswer). A stop gives answers in
  // flight at most a second, whatever `limits` says.
  // `admits`, when given, is the front's gate (HttpHandlers::admits).
  explicit LoopbackServer(Answer answer, ServerLimits limits = {},
                          std::function<bool(std::string_view peer)> admits = {});
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  int port() const { return port_; }
  std::string url(std::string_view target) const;  // http://127.0.0.1:<port><target>
  httplib::Result get(const std::string& target) const { return getLoopback(port_, target); }
  const ServerCounters& counters() const { return counters_; }
  std::size_t openConnections() const { return server_->openConnections(); }

 private:
  ServerCounters counters_;
  std::unique_ptr<HttpServer> server_;
  std::thread thread_;
  int port_ = 0;
};

// The service's routes over `snapshot` (which must outlive them), for a LoopbackServer; `counters`, when
// given, are shown on the status page.
LoopbackServer::Answer serviceRoutes(const SnapshotHolder& snapshot, const ServerCounters* counters = nullptr);

// The check target: the service's /check route on a LoopbackServer, signing with a fresh key of its own
// unless given one.
class CheckTargetServer : public LoopbackServer {
 public:
  explicit CheckTargetServer(CheckKey key = freshCheckKey().value());
  std::string checkUrl() const;  // http://127.0.0.1:<port>/check
  const CheckKey& key() const { return key_; }
  // Writes the key to `path` (mode 0600), for a service program checking against this target.
  std::string writeKey(const std::string& path) const;

 private:
  CheckKey key_;
};

enum class FakeKind {
  forward,        // passes the request on to the target (after `delayMs`) and its reply back
  hold,           // accepts and never answers; closes when the client does
  closeAtOnce,    // reads the request and closes without a byte of reply
  ownPage,        // 200 with a page of its own, ended by closing
  errorPage,      // 502 with a page of its own
  staleAnswer,    // 200 with the target's real answer to an earlier token (a cache replaying it)
  oldFormat,      // 200 with "quorvelip-check <token>" made up from the request line, never forwarded
  wrongKey,       // 200 with a well-formed answer to the token, signed with a key of its own
  wrapsAnswer,    // forwards, and hands back the target's answer inside a page of its own
  garbage,        // bytes that are not HTTP, then closes
  closeMidReply,  // a 200 head promising 4096 bytes, a few of them, then closes
  hugeReply,      // 200 and megabytes of body without a length, until the client gives up
  hugeDeclared,   // the same with a Content-Length of 8 MB
  redirect,       // its first request: 302 to the very same URL; later ones are forwarded
};

struct FakeProxy {
  FakeKind kind = FakeKind::forward;
  int delayMs = 0;       // before answering
  int gateAccepted = 0;  // answer only once the farm has accepted this many connections in all
  int gateOpen = 0;      // answer only once this many connections have been open at the same time
};

class FakeProxyFarm {
 public:
  explicit FakeProxyFarm(int workers = 8);
  ~FakeProxyFarm();
  FakeProxyFarm(const FakeProxyFarm&) = delete;
  FakeProxyFarm& operator=(const FakeProxyFarm&) = delete;

  // A listening proxy of this kind on `address` (a 127.x address), any free port. Its candidate names
  // HTTP, as a list of HTTP proxies would, so that its first check is one request; clear `scheme` to
  // have every protocol probed.
  CheckCandidate add(const FakeProxy& proxy, std::int64_t id, const std::string& address = "127.0.0.1");
  // An address and port nothing listens on: bound, then closed.
  static CheckCandidate refusing(std::int64_t id, const std::string& address = "127.0.0.1");

  int accepted() const { return accepted_; }
  int maxOpen() const { return maxOpen_; }
  std::vector<std::string> requestTargets() const;  // the request line's target of every answered request

 private:
  struct Listener;
  struct Work {
    int fd;
    Listener* listener;
  };
  void acceptLoop();
  void acceptFrom(Listener& listener);
  void workLoop();
  void answer(int fd, Listener& listener);
  void closeCounted(int fd);
  bool waitGate(const FakeProxy& proxy);

  int epoll_ = -1;
  int wake_ = -1;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::atomic<int> open_{0};
  std::atomic<int> maxOpen_{0};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Work> queue_;
  std::vector<std::unique_ptr<Listener>> listeners_;
  std::vector<int> held_;
  std::vector<std::string> targets_;
  std::thread acceptor_;
  std::vector<std::thread> workers_;
};

// `count` proxies of one kind in the farm, ids 0 to count - 1, as store entries with no region.
inline std::vector<NewProxy> addToFarm(FakeProxyFarm& farm, const FakeProxy& proxy, int count) {
  std::vector<NewProxy> proxies;
  for (int id = 0; id < count; ++id) {
    CheckCandidate candidate = farm.add(proxy, id);
    proxies.push_back({candidate.address, candidate.port, "", "", ""});
  }
  return proxies;
}
