#pragma once
// The service's HTTP front behind one small interface, so the routes stay plain functions of a request,
// testable without sockets. Event-driven (Boost.Beast's parser on Asio): a connection costs a socket and a
// little memory, never a thread, so clients that connect and then trickle or say nothing cannot hold the
// others up; each is cut at its deadline, and every limit below answers or closes without reading on.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

using HttpHeader = std::pair<std::string_view, std::string_view>;

struct HttpRequest {
  std::string_view method;  // GET or HEAD: the server answers every other method itself (405)
  std::string_view target;  // as received: the path and the raw query
  std::span<const HttpHeader> headers;
  std::string_view peer = {};  // the client's address as text ("127.0.0.1", "::1"), empty when unknown

  // The first header of that name (any case), empty when absent.
  std::string_view header(std::string_view name) const;
};

struct HttpAnswer {
  int status = 200;
  std::string_view contentType;  // points at a constant
  // Shared, so that an answer kept for a snapshot goes out without a copy. Sent whole, except to HEAD.
  std::shared_ptr<const std::string> body;
  std::string headers;  // further header lines, each ending in CR LF (Cache-Control, Location, Allow)
};

struct HttpHandlers {
  std::function<HttpAnswer(const HttpRequest&)> answer;
  // The answer for a status the server decides before any route: 400, 403, 405, 413, 414, 431, 500.
  std::function<HttpAnswer(int status)> refusal;
  // Whether a client (its address as HttpRequest::peer names it) may ask at all; asked once per
  // connection, and each of its requests is a 403 before any route when not. Empty: everyone may.
  std::function<bool(std::string_view peer)> admits = {};
  // Request targets anyone may ask for whatever `admits` says: the check answer, which the proxies being
  // checked ask for from their own exit addresses. Empty: none.
  std::function<bool(std::string_view target)> openToAll = {};
};

// Each has an option of the same name in the service (see serviceOptions.h).
struct ServerLimits {
  std::int64_t headTimeoutMs = 10000;     // a request's head (and its small body) from its first byte; new
                                          // connections from their opening, so silent ones count too
  std::int64_t idleTimeoutMs = 5000;      // a kept-alive connection waiting for its next request
  std::size_t maxHeadBytes = 16 * 1024;   // request line and headers; 431 beyond
  std::size_t maxTargetBytes = 8 * 1024;  // 414 beyond
  std::size_t maxBodyBytes = 1024;        // 413 beyond, decided from Content-Length or as chunks arrive
  std::size_t maxPerClient = 64;          // open connections from one address; 127.0.0.1 and ::1 are exempt
  std::size_t maxConnections = 10000;     // open connections in all
  std::int64_t stopGraceMs = 5000;        // what answers in flight get after stop()
  unsigned threads = 1;                   // event loops; connections are dealt out among them
};

// What the server refused or cut, by kind, since it started.
struct ServerCounters {
  std::atomic<std::uint64_t> headTimeouts{0};      // a head not complete by its deadline (trickling, silent)
  std::atomic<std::uint64_t> idleCloses{0};        // kept-alive connections closed after the idle time
  std::atomic<std::uint64_t> bodyTooLarge{0};      // 413
  std::atomic<std::uint64_t> targetTooLong{0};     // 414 from the server (mo.php's own 414 is an answer)
  std::atomic<std::uint64_t> headTooLarge{0};      // 431
  std::atomic<std::uint64_t> methodNotAllowed{0};  // 405
  std::atomic<std::uint64_t> perClientRefused{0};  // connections over --max-per-client, closed at once
  std::atomic<std::uint64_t> totalRefused{0};      // connections over --max-connections, closed at once
  std::atomic<std::uint64_t> malformed{0};         // 400: not a request HTTP/1 can read
  std::atomic<std::uint64_t> sendTimeouts{0};      // clients that stopped reading their answer
  std::atomic<std::uint64_t> notAllowed{0};        // 403: requests from a client outside --allow
};

class HttpServer {
 public:
  HttpServer(HttpHandlers handlers, ServerLimits limits, ServerCounters& counters);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Listens on address:port (0: any free port) with address reuse only, so a second server on a port
  // already taken is refused. Returns the port, or 0 with `error` set.
  int listen(const std::string& address, int port, std::string& error);
  // Serves on the calling thread (and limits.threads - 1 more) until stop() has run its course.
  void run();
  // From any thread: stops accepting, closes the connections waiting for a request, lets those with a
  // request under way have their answer (with Connection: close) within stopGraceMs, then closes the rest.
  void stop();
  // SIGINT and SIGTERM call stop(), through Asio's signal set: nothing but a write runs in the handler.
  void stopOnSignals();

  std::size_t openConnections() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
