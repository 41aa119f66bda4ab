#include "fakeProxies.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "service/check/checkAnswer.h"
#include "service/check/checkTarget.h"
#include "service/serve/routes.h"

namespace {

constexpr std::uint64_t kHeldTag = 1ull << 63;
constexpr std::size_t kMaxHead = 16 * 1024;
constexpr std::size_t kHugeBytes = 8 * 1024 * 1024;
// Bounds every wait of a worker, so a farm always ends even when a client vanished.
constexpr int kIoTimeoutSeconds = 10;

void fail(const char* what) {
  throw std::runtime_error(std::string("fake proxies: ") + what);
}

sockaddr_in loopback(const std::string& address, std::uint16_t port) {
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1 || (ntohl(at.sin_addr.s_addr) >> 24) != 127) {
    fail("not a loopback address");
  }
  return at;
}

// A socket bound to address:0; returns the port it got.
int boundSocket(const std::string& address, std::uint16_t& port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) fail("socket");
  sockaddr_in at = loopback(address, 0);
  socklen_t size = sizeof at;
  if (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
    close(fd);
    fail("bind");
  }
  port = ntohs(at.sin_port);
  return fd;
}

bool sendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool sendAllToFile(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t wrote = write(fd, bytes.data(), bytes.size());
    if (wrote <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return true;
}

// The request's head, or empty when the client stopped before its end; or, `wholeReply`, all until the
// server closes.
std::string readFrom(int fd, bool wholeReply) {
  std::string read;
  char buffer[4096];
  while (wholeReply || (read.find("\r\n\r\n") == std::string::npos && read.size() < kMaxHead)) {
    ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return wholeReply ? read : std::string();
    read.append(buffer, static_cast<std::size_t>(got));
  }
  return read;
}

void setIoTimeouts(int fd) {
  timeval limit{kIoTimeoutSeconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

// A target may listen with a small backlog: more connections at once than that could be dropped and retried
// a second later, which would time out good proxies in a long round.
class UpstreamLimit {
 public:
  UpstreamLimit() {
    std::unique_lock lock(mutex_);
    free_.wait(lock, [] { return inUse_ < kMaxUpstream; });
    ++inUse_;
  }
  ~UpstreamLimit() {
    std::lock_guard lock(mutex_);
    --inUse_;
    free_.notify_one();
  }

 private:
  static constexpr int kMaxUpstream = 4;
  static inline std::mutex mutex_;
  static inline std::condition_variable free_;
  static inline int inUse_ = 0;
};

// What a plain forward proxy does with "GET http://127.x.y.z:port/path HTTP/1.1": asks that server
// for /path and hands back its whole reply. Only loopback servers are asked.
std::string forward(const std::string& target) {
  static constexpr std::string_view kScheme = "http://";
  const std::string badGateway = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  if (!target.starts_with(kScheme)) return badGateway;
  std::size_t slash = target.find('/', kScheme.size());
  std::string authority = target.substr(kScheme.size(), slash - kScheme.size());
  std::string path = slash == std::string::npos ? "/" : target.substr(slash);
  std::size_t colon = authority.rfind(':');
  if (colon == std::string::npos) return badGateway;
  sockaddr_in at{};
  try {
    at = loopback(authority.substr(0, colon), static_cast<std::uint16_t>(std::stoi(authority.substr(colon + 1))));
  } catch (const std::exception&) {
    return badGateway;
  }
  UpstreamLimit limit;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return badGateway;
  setIoTimeouts(fd);
  std::string reply = badGateway;
  if (connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
      sendAll(fd, "GET " + path + " HTTP/1.1\r\nHost: " + authority + "\r\nConnection: close\r\n\r\n")) {
    reply = readFrom(fd, true);
  }
  close(fd);
  return reply;
}

// The value of the check token in a request target, empty when it holds none.
std::string tokenIn(const std::string& target) {
  std::size_t at = target.find(std::string(kCheckTokenKey) + "=");
  if (at == std::string::npos) return {};
  at += std::string_view(kCheckTokenKey).size() + 1;
  return target.substr(at, target.find('&', at) - at);
}

// The body of a whole reply, empty when it has no head.
std::string bodyOf(const std::string& reply) {
  std::size_t end = reply.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

std::string page(const char* status, std::string_view body, bool withLength) {
  std::string reply = std::string("HTTP/1.1 ") + status + "\r\nContent-Type: text/html\r\nConnection: close\r\n";
  if (withLength) reply += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  reply += "\r\n";
  reply += body;
  return reply;
}

}  // namespace

struct FakeProxyFarm::Listener {
  FakeProxy proxy;
  int fd = -1;
  std::atomic<int> answered{0};
};

LoopbackServer::LoopbackServer(Answer answer, ServerLimits limits, std::function<bool(std::string_view)> admits) {
  limits.stopGraceMs = std::min<std::int64_t>(limits.stopGraceMs, 1000);
  server_ = std::make_unique<HttpServer>(HttpHandlers{std::move(answer), refusalAnswer, std::move(admits)}, limits,
                                         counters_);
  std::string error;
  port_ = server_->listen("127.0.0.1", 0, error);
  if (port_ <= 0) fail("loopback server listen");
  // Connections made before the loop runs wait in the listen backlog.
  thread_ = std::thread([this] { server_->run(); });
}

LoopbackServer::~LoopbackServer() {
  server_->stop();
  thread_.join();
}

std::string LoopbackServer::url(std::string_view target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(target);
}

httplib::Result getLoopback(int port, const std::string& target) {
  httplib::Client client("127.0.0.1", port);
  client.set_url_encode(false);
  return client.Get(target);
}

LoopbackServer::Answer serviceRoutes(const SnapshotHolder& snapshot, const ServerCounters* counters) {
  auto routes = std::make_shared<ServiceRoutes>(snapshot, StatusSettings{}, counters);
  return [routes](const HttpRequest& request) { return routes->answer(request); };
}

CheckTargetServer::CheckTargetServer(CheckKey key)
    : LoopbackServer([key](const HttpRequest& request) {
        std::size_t question = request.target.find('?');
        if (request.target.substr(0, question) != kCheckPath) return refusalAnswer(404);
        return checkTargetRoute(question == std::string_view::npos ? "" : request.target.substr(question + 1), key,
                                {request.peer, request.headers});
      }),
      key_(std::move(key)) {}

std::string CheckTargetServer::writeKey(const std::string& path) const {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0 || !sendAllToFile(fd, key_.bytes)) fail("writing the check key");
  close(fd);
  return path;
}

std::string CheckTargetServer::checkUrl() const {
  return url(kCheckPath);
}

FakeProxyFarm::FakeProxyFarm(int workers) {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (epoll_ < 0 || wake_ < 0) fail("epoll");
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = 0;
  epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
  acceptor_ = std::thread([this] { acceptLoop(); });
  for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { workLoop(); });
}

FakeProxyFarm::~FakeProxyFarm() {
  {
    std::lock_guard lock(mutex_);  // so no worker sees the old value and then sleeps through the call
    stopping_ = true;
    changed_.notify_all();
  }
  std::uint64_t one = 1;
  (void)!write(wake_, &one, sizeof one);
  acceptor_.join();
  for (std::thread& worker : workers_) worker.join();
  for (const Work& work : queue_) close(work.fd);
  for (int fd : held_) close(fd);
  for (const auto& listener : listeners_) close(listener->fd);
  close(wake_);
  close(epoll_);
}

CheckCandidate FakeProxyFarm::add(const FakeProxy& proxy, std::int64_t id, const std::string& address) {
  auto listener = std::make_unique<Listener>();
  listener->proxy = proxy;
  std::uint16_t port = 0;
  listener->fd = boundSocket(address, port);
  fcntl(listener->fd, F_SETFL, O_NONBLOCK);
  if (listen(listener->fd, 1024) != 0) {
    close(listener->fd);
    fail("listen");
  }
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.ptr = listener.get();
  epoll_ctl(epoll_, EPOLL_CTL_ADD, listener->fd, &event);
  std::lock_guard lock(mutex_);
  listeners_.push_back(std::move(listener));
  return {id, address, port, kHttp};
}

CheckCandidate FakeProxyFarm::refusing(std::int64_t id, const std::string& address) {
  std::uint16_t port = 0;
  close(boundSocket(address, port));
  return {id, address, port, kHttp};
}

std::vector<std::string> FakeProxyFarm::requestTargets() const {
  std::lock_guard lock(mutex_);
  return targets_;
}

void FakeProxyFarm::acceptLoop() {
  epoll_event events[64];
  while (!stopping_) {
    int ready = epoll_wait(epoll_, events, 64, -1);
    for (int i = 0; i < ready; ++i) {
      std::uint64_t data = events[i].data.u64;
      if (data == 0) return;  // woken to stop
      if (data & kHeldTag) {
        int fd = static_cast<int>(data & ~kHeldTag);
        char junk[512];
        ssize_t got = recv(fd, junk, sizeof junk, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN)) {
          epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
          held_.erase(std::find(held_.begin(), held_.end(), fd));
          closeCounted(fd);
        }
      } else {
        acceptFrom(*static_cast<Listener*>(events[i].data.ptr));
      }
    }
  }
}

void FakeProxyFarm::acceptFrom(Listener& listener) {
  while (true) {
    int fd = accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    int open = ++open_;
    int seen = maxOpen_;
    while (open > seen && !maxOpen_.compare_exchange_weak(seen, open)) {
    }
    ++accepted_;
    if (listener.proxy.kind == FakeKind::hold) {
      fcntl(fd, F_SETFL, O_NONBLOCK);
      epoll_event event{};
      event.events = EPOLLIN | EPOLLRDHUP;
      event.data.u64 = kHeldTag | static_cast<std::uint64_t>(fd);
      epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
      held_.push_back(fd);
    }
    // Under the lock, so a worker waiting at a gate cannot miss the new counts.
    std::lock_guard lock(mutex_);
    if (listener.proxy.kind != FakeKind::hold) queue_.push_back({fd, &listener});
    changed_.notify_all();
  }
}

void FakeProxyFarm::workLoop() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    Work work = queue_.front();
    queue_.pop_front();
    lock.unlock();
    answer(work.fd, *work.listener);
    lock.lock();
  }
}

void FakeProxyFarm::closeCounted(int fd) {
  --open_;
  close(fd);
}

bool FakeProxyFarm::waitGate(const FakeProxy& proxy) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(kIoTimeoutSeconds), [&] {
    return stopping_ || (accepted_ >= proxy.gateAccepted && maxOpen_ >= proxy.gateOpen);
  }) && !stopping_;
}

void FakeProxyFarm::answer(int fd, Listener& listener) {
  setIoTimeouts(fd);
  const FakeProxy& proxy = listener.proxy;
  std::string head = readFrom(fd, false);
  std::size_t space = head.find(' ');
  std::string target = space == std::string::npos ? "" : head.substr(space + 1, head.find(' ', space + 1) - space - 1);
  if (target.empty() || !waitGate(proxy)) {
    closeCounted(fd);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    targets_.push_back(target);
  }
  if (proxy.delayMs > 0) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(proxy.delayMs), [this] { return stopping_.load(); });
  }
  bool first = listener.answered++ == 0;
  std::string reply;
  bool endless = false;
  switch (proxy.kind) {
    case FakeKind::hold:  // never queued
    case FakeKind::forward:
      reply = forward(target);
      break;
    case FakeKind::redirect:
      reply = first ? "HTTP/1.1 302 Found\r\nLocation: " + target + "\r\nContent-Length: 0\r\n\r\n" : forward(target);
      break;
    case FakeKind::closeAtOnce:
      break;
    case FakeKind::ownPage:
      reply = page("200 OK", "<html><body>Welcome to this proxy</body></html>\n", false);
      break;
    case FakeKind::errorPage:
      reply = page("502 Bad Gateway", "<html><body>Upstream unreachable</body></html>\n", true);
      break;
    case FakeKind::staleAnswer: {
      // The target's genuine answer, to a token of another day.
      std::string token = tokenIn(target);
      std::string earlier = target;
      if (!token.empty()) earlier.replace(target.find(token), token.size(), std::string(token.size(), '0'));
      reply = forward(earlier);
      break;
    }
    case FakeKind::oldFormat:
      reply = page("200 OK", "quorvelip-check " + tokenIn(target) + "\n", true);
      break;
    case FakeKind::wrongKey: {
      static const CheckKey kOwnKey = freshCheckKey().value();
      std::string token = tokenIn(target);
      reply = page("200 OK", token.empty() ? "" : checkTargetAnswer(kOwnKey, token), true);
      break;
    }
    case FakeKind::wrapsAnswer:
      reply = page("200 OK", "<html><body>\n" + bodyOf(forward(target)) + "</body></html>\n", true);
      break;
    case FakeKind::garbage:
      reply = std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03garbage\r\n\r\n", 22);
      break;
    case FakeKind::closeMidReply:
      reply = "HTTP/1.1 200 OK\r\nContent-Length: 4096\r\n\r\nquorvelip-check ";
      break;
    case FakeKind::hugeReply:
      reply = page("200 OK", "", false);
      endless = true;
      break;
    case FakeKind::hugeDeclared:
      reply = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kHugeBytes) + "\r\n\r\n";
      endless = true;
      break;
  }
  // The connection stops counting as open just before its reply goes out: the client can only see its
  // check end (and start another) after that, so maxOpen never exceeds what the client had in flight.
  --open_;
  bool sent = sendAll(fd, reply);
  const std::string block(64 * 1024, 'x');
  for (std::size_t total = 0; sent && endless && total < kHugeBytes; total += block.size()) sent = sendAll(fd, block);
  close(fd);
}
