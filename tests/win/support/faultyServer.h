#pragma once
// A loopback server whose connections follow a script the test writes: answer, stall without a
// word, reset the connection mid-body, stream a body too large to hold... for the program's
// behaviour under bad replies. One connection at a time, each on the server's own thread.
#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

// One accepted connection, as the script sees it.
class ServerConnection {
 public:
  ServerConnection(SOCKET socket, const std::atomic<bool>& stopping) : socket_(socket), stopping_(stopping) {}

  // The request head and as much body as it announces; what arrived when the peer closes first.
  std::string readRequest();
  // Sends every byte; false once the peer is gone or the server stops.
  bool send(std::string_view bytes);
  // Ends the connection with a TCP reset instead of an orderly close.
  void reset();
  // Keeps the connection open and silent until the peer closes it or the server stops.
  void holdUntilClosed();
  bool stopping() const { return stopping_; }
  // Whether the peer closed (or reset) the connection while holdUntilClosed waited.
  bool peerClosed() const { return peerClosed_; }
  // What readRequest read last.
  const std::string& request() const { return request_; }

 private:
  SOCKET socket_;
  std::string request_;
  const std::atomic<bool>& stopping_;
  bool peerClosed_ = false;
};

using ConnectionScript = std::function<void(ServerConnection&)>;

class FaultyServer {
 public:
  // Listens on 127.0.0.1:port (0 = any free port).
  explicit FaultyServer(ConnectionScript script, unsigned short port = 0);
  ~FaultyServer();
  FaultyServer(const FaultyServer&) = delete;
  FaultyServer& operator=(const FaultyServer&) = delete;

  bool listening() const { return listener_ != INVALID_SOCKET; }
  unsigned short port() const { return port_; }
  void setScript(ConnectionScript script);
  int connections() const { return connections_; }
  std::string lastRequest() const;
  // Whether the client closed the last connection while the script held it open.
  bool clientClosedLast() const { return clientClosedLast_; }

 private:
  void serve();

  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::atomic<bool> clientClosedLast_{false};
  mutable std::mutex mutex_;
  ConnectionScript script_;
  std::string lastRequest_;
  std::thread thread_;
};

// Ready-made scripts.
namespace serverScript {
// Reads the request and sends these bytes, then closes in order.
ConnectionScript reply(std::string raw);
// Reads the request and closes without a byte.
ConnectionScript closeSilently();
// Reads the request, sends these bytes and resets the connection.
ConnectionScript sendThenReset(std::string raw);
// Accepts, reads the request and never answers; the connection stays open until the client
// gives up (or the server stops).
ConnectionScript neverAnswer();
// A 200 reply of `size` body bytes, made piece by piece by `piece(offset, wanted)` (it returns
// at most `wanted` bytes, at least one), so a reply of any size needs no copy in this process.
ConnectionScript streamBody(std::uint64_t size, std::function<std::string(std::uint64_t offset, size_t wanted)> piece);
}  // namespace serverScript
