#pragma once
// A loopback HTTP server for tests that answers every connection with one raw reply the test
// wrote byte for byte, and records the raw requests it received.
#include <winsock2.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedServer {
 public:
  // Listens on 127.0.0.1:port (0 = any free port).
  explicit ScriptedServer(std::string rawReply, unsigned short port = 0);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  bool listening() const { return listener_ != INVALID_SOCKET; }
  unsigned short port() const { return port_; }
  std::string url(const std::string& path = "/") const;
  void setReply(std::string rawReply);
  std::vector<std::string> requests() const;
  std::string lastRequest() const;

 private:
  void serve();
  void answer(SOCKET client);

  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::string reply_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A free loopback port with nothing listening on it (for refused connections).
unsigned short closedLoopbackPort();
