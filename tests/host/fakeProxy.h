#pragma once
// Fake HTTP proxies on loopback ports for the live-pool checks: a good one forwards the request to
// its target (only ever a 127.x address) after a chosen delay; the others misbehave in one way each.
// Each runs its own accept thread until it is destroyed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

enum class FakeProxyKind {
  good,     // forwards to the 127.x target and relays its answer
  ownPage,  // answers 200 with a page of its own
  garbage,  // answers bytes that are not HTTP
  silent,   // accepts and never answers
};

class FakeProxy {
 public:
  explicit FakeProxy(FakeProxyKind kind, int delayMs = 0) : kind_(kind), delayMs_(delayMs) {
    listener_ = listenOnLoopback(port_);
    thread_ = std::thread([this] { acceptLoop(); });
  }
  ~FakeProxy() {
    stop_ = true;
    thread_.join();
    for (std::thread& worker : workers_) worker.join();
    ::close(listener_);
  }
  FakeProxy(const FakeProxy&) = delete;
  FakeProxy& operator=(const FakeProxy&) = delete;

  std::uint16_t port() const { return port_; }

  // A loopback port nothing listens on: bound, then closed, so connections are refused.
  static std::uint16_t refusingPort() {
    std::uint16_t port = 0;
    ::close(listenOnLoopback(port));
    return port;
  }

 private:
  static int listenOnLoopback(std::uint16_t& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, 128);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
  }

  bool readable(int fd, int milliseconds) const {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, milliseconds) > 0;
  }

  void acceptLoop() {
    while (!stop_) {
      if (!readable(listener_, 50)) continue;
      int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      workers_.emplace_back([this, client] {
        serve(client);
        ::close(client);
      });
    }
  }

  // The request head, up to the blank line.
  std::string readHead(int fd) const {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 && !stop_) {
      if (!readable(fd, 50)) continue;
      ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      head.append(buffer, static_cast<std::size_t>(got));
    }
    return head;
  }

  void sendAll(int fd, const std::string& bytes) const {
    for (std::size_t sent = 0; sent < bytes.size();) {
      ssize_t put = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (put <= 0) return;
      sent += static_cast<std::size_t>(put);
    }
  }

  void pause(int milliseconds) const {
    for (int waited = 0; waited < milliseconds && !stop_; waited += 10) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  void serve(int client) const {
    std::string head = readHead(client);
    pause(delayMs_);
    switch (kind_) {
      case FakeProxyKind::good:
        forward(client, head);
        break;
      case FakeProxyKind::ownPage:
        sendAll(client,
                "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 21\r\nConnection: close\r\n\r\n"
                "<h1>Welcome page</h1>");
        break;
      case FakeProxyKind::garbage:
        sendAll(client, std::string("\x01\x02 not http at all \xFF\xFE\r\n\r\n", 24));
        break;
      case FakeProxyKind::silent:
        while (!stop_) pause(50);
        break;
    }
  }

  // "GET http://127.x.y.z:port/path HTTP/1.1" becomes "GET /path" on a connection to the target.
  void forward(int client, const std::string& head) const {
    std::size_t start = head.find("http://");
    std::size_t space = head.find(' ', start);
    if (start == std::string::npos || space == std::string::npos) return;
    std::string url = head.substr(start + 7, space - start - 7);
    std::size_t slash = url.find('/');
    std::string hostPort = url.substr(0, slash);
    std::string path = slash == std::string::npos ? "/" : url.substr(slash);
    std::size_t colon = hostPort.find(':');
    std::string host = hostPort.substr(0, colon);
    int port = colon == std::string::npos ? 80 : std::stoi(hostPort.substr(colon + 1));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    // Loopback only: a good proxy refuses to reach anything else.
    if (!host.starts_with("127.") || ::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) return;
    int target = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(target, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      sendAll(target, "GET " + path + " HTTP/1.1\r\nHost: " + hostPort + "\r\nConnection: close\r\n\r\n");
      char buffer[4096];
      while (readable(target, 5000)) {
        ssize_t got = ::recv(target, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        sendAll(client, std::string(buffer, static_cast<std::size_t>(got)));
      }
    }
    ::close(target);
  }

  FakeProxyKind kind_;
  int delayMs_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::vector<std::thread> workers_;
};
