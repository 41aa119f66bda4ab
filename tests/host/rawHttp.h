#pragma once
// A plain-socket HTTP client for the server's tests: it connects from a chosen loopback address, sends
// exactly the bytes it is given (broken heads, trickled lines, pipelined requests) and reads answers as
// they come, so the tests see what the server does on the wire.
#include <map>
#include <optional>
#include <string>
#include <string_view>

struct RawAnswer {
  int status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string header(const std::string& name) const {
    auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
  }
};

class RawClient {
 public:
  // Connects to 127.0.0.1:port from `from` (any port); not connected() when that fails.
  explicit RawClient(int port, const std::string& from = "127.0.0.1");
  ~RawClient();
  RawClient(RawClient&& other) noexcept;
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return fd_ >= 0; }
  // False when the bytes could not all be written (the server closed or reset).
  bool send(std::string_view bytes);
  // The next whole answer (head, and a body of its Content-Length unless `toHead`), or nothing when the
  // connection ends or `timeoutMs` passes first.
  std::optional<RawAnswer> readAnswer(int timeoutMs = 5000, bool toHead = false);
  // Whether the server ends the connection (end of stream or reset) within `timeoutMs`; bytes that come
  // before the end are dropped.
  bool closedWithin(int timeoutMs);
  void close();

 private:
  // Reads once, waiting up to `timeoutMs`; false at the end of the stream, a reset or the time limit.
  bool readSome(int timeoutMs);

  int fd_ = -1;
  std::string pending_;
};

// One request and its answer on a fresh connection from `from`; nothing when it is not answered.
std::optional<RawAnswer> rawGet(int port, const std::string& target, const std::string& from = "127.0.0.1",
                                int timeoutMs = 5000);
