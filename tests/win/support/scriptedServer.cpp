#include "support/scriptedServer.h"

#include <algorithm>

#include "support/loopback.h"

ScriptedServer::ScriptedServer(std::string rawReply, unsigned short port) : reply_(std::move(rawReply)) {
  listener_ = listenOnLoopback(port, &port_);
  if (listener_ == INVALID_SOCKET) return;
  thread_ = std::thread([this] { serve(); });
}

ScriptedServer::~ScriptedServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
}

std::string ScriptedServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void ScriptedServer::setReply(std::string rawReply) {
  std::lock_guard lock(mutex_);
  reply_ = std::move(rawReply);
}

std::vector<std::string> ScriptedServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::string ScriptedServer::lastRequest() const {
  std::lock_guard lock(mutex_);
  return requests_.empty() ? std::string() : requests_.back();
}

void ScriptedServer::serve() {
  while (!stopping_) {
    if (!socketReady(listener_)) continue;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    answer(client);
    closesocket(client);
  }
}

void ScriptedServer::answer(SOCKET client) {
  std::string request;
  char buffer[4096];
  // The head, then as much body as it announces.
  for (;;) {
    size_t end = request.find("\r\n\r\n");
    if (end != std::string::npos && request.size() >= end + 4 + announcedLength(request.substr(0, end))) break;
    int got = recv(client, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    request.append(buffer, static_cast<size_t>(got));
  }
  std::string reply;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    reply = reply_;
  }
  size_t sent = 0;
  while (sent < reply.size()) {
    int chunk = send(client, reply.data() + sent, static_cast<int>(std::min<size_t>(reply.size() - sent, 65536)), 0);
    if (chunk <= 0) break;
    sent += static_cast<size_t>(chunk);
  }
  shutdown(client, SD_SEND);
}

unsigned short closedLoopbackPort() {
  unsigned short port = 0;
  SOCKET socket = bindLoopback(0, &port);
  if (socket != INVALID_SOCKET) closesocket(socket);
  return port;
}
