#include "support/faultyServer.h"

#include <algorithm>

#include "support/loopback.h"

std::string ServerConnection::readRequest() {
  std::string request;
  char buffer[4096];
  while (!stopping_) {
    size_t end = request.find("\r\n\r\n");
    if (end != std::string::npos && request.size() >= end + 4 + announcedLength(request.substr(0, end))) break;
    if (!socketReady(socket_)) continue;
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
    if (!socketReady(socket_, true)) continue;
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
    if (!socketReady(socket_)) continue;
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
    if (!socketReady(listener_)) continue;
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
