#include "support/faultyServer.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstdlib>

namespace {
struct WinsockUser {
  WinsockUser() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};

SOCKET listenOnLoopback(unsigned short port, unsigned short* bound) {
  static WinsockUser winsock;
  SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) return socket;
  BOOL reuse = TRUE;
  setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(socket, 16) != 0) {
    closesocket(socket);
    return INVALID_SOCKET;
  }
  int length = sizeof address;
  getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
  *bound = ntohs(address.sin_port);
  return socket;
}

// Waits up to 50 ms for the socket to become readable (or writable).
bool ready(SOCKET socket, bool forWriting) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval wait{0, 50000};
  return select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &wait) > 0;
}

size_t announcedLength(const std::string& head) {
  for (const char* name : {"Content-Length:", "content-length:"}) {
    size_t at = head.find(name);
    if (at != std::string::npos) return std::strtoul(head.c_str() + at + 15, nullptr, 10);
  }
  return 0;
}
}  // namespace

std::string ServerConnection::readRequest() {
  std::string request;
  char buffer[4096];
  while (!stopping_) {
    size_t end = request.find("\r\n\r\n");
    if (end != std::string::npos && request.size() >= end + 4 + announcedLength(request.substr(0, end))) break;
    if (!ready(socket_, false)) continue;
    int got = recv(socket_, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    request.append(buffer, static_cast<size_t>(got));
  }
  request_ = request;
  return request;
}

bool ServerConnection::send(std::string_view bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    if (stopping_) return false;
    if (!ready(socket_, true)) continue;
    int chunk = ::send(socket_, bytes.data() + sent, static_cast<int>(std::min<size_t>(bytes.size() - sent, 65536)), 0);
    if (chunk <= 0) return false;
    sent += static_cast<size_t>(chunk);
  }
  return true;
}

void ServerConnection::reset() {
  linger abortive{1, 0};
  setsockopt(socket_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
}

void ServerConnection::holdUntilClosed() {
  char buffer[4096];
  while (!stopping_) {
    if (!ready(socket_, false)) continue;
    if (recv(socket_, buffer, sizeof buffer, 0) <= 0) {
      peerClosed_ = true;
      return;
    }
  }
}

FaultyServer::FaultyServer(ConnectionScript script, unsigned short port) : script_(std::move(script)) {
  listener_ = listenOnLoopback(port, &port_);
  if (listener_ == INVALID_SOCKET) return;
  thread_ = std::thread([this] { serve(); });
}

FaultyServer::~FaultyServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
}

void FaultyServer::setScript(ConnectionScript script) {
  std::lock_guard lock(mutex_);
  script_ = std::move(script);
}

std::string FaultyServer::lastRequest() const {
  std::lock_guard lock(mutex_);
  return lastRequest_;
}

void FaultyServer::serve() {
  while (!stopping_) {
    if (!ready(listener_, false)) continue;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    ++connections_;
    ConnectionScript script;
    {
      std::lock_guard lock(mutex_);
      script = script_;
    }
    ServerConnection connection(client, stopping_);
    script(connection);
    closesocket(client);
    {
      std::lock_guard lock(mutex_);
      lastRequest_ = connection.request();
    }
    clientClosedLast_ = connection.peerClosed();
  }
}

namespace serverScript {
ConnectionScript reply(std::string raw) {
  return [raw = std::move(raw)](ServerConnection& connection) {
    connection.readRequest();
    connection.send(raw);
  };
}

ConnectionScript closeSilently() {
  return [](ServerConnection& connection) { connection.readRequest(); };
}

ConnectionScript sendThenReset(std::string raw) {
  return [raw = std::move(raw)](ServerConnection& connection) {
    connection.readRequest();
    connection.send(raw);
    connection.reset();
  };
}

ConnectionScript neverAnswer() {
  return [](ServerConnection& connection) {
    connection.readRequest();
    connection.holdUntilClosed();
  };
}

ConnectionScript streamBody(std::uint64_t size, std::function<std::string(std::uint64_t offset, size_t wanted)> piece) {
  return [size, piece = std::move(piece)](ServerConnection& connection) {
    connection.readRequest();
    std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gbk\r\nContent-Length: " + std::to_string(size) +
        "\r\nConnection: close\r\n\r\n";
    if (!connection.send(head)) return;
    for (std::uint64_t offset = 0; offset < size;) {
      std::string bytes = piece(offset, static_cast<size_t>(std::min<std::uint64_t>(size - offset, 1 << 20)));
      if (bytes.empty() || !connection.send(bytes)) return;
      offset += bytes.size();
    }
  };
}
}  // namespace serverScript
