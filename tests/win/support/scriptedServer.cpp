#include "support/scriptedServer.h"

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

SOCKET bindLoopback(unsigned short port, unsigned short* bound) {
  static WinsockUser winsock;
  SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) return socket;
  BOOL reuse = TRUE;
  setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    closesocket(socket);
    return INVALID_SOCKET;
  }
  int length = sizeof address;
  getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
  *bound = ntohs(address.sin_port);
  return socket;
}

size_t contentLength(const std::string& head) {
  size_t at = head.find("Content-Length:");
  if (at == std::string::npos) at = head.find("content-length:");
  return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + 15, nullptr, 10);
}
}  // namespace

ScriptedServer::ScriptedServer(std::string rawReply, unsigned short port) : reply_(std::move(rawReply)) {
  listener_ = bindLoopback(port, &port_);
  if (listener_ == INVALID_SOCKET) return;
  listen(listener_, 16);
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
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(listener_, &ready);
    timeval wait{0, 50000};
    if (select(0, &ready, nullptr, nullptr, &wait) <= 0) continue;
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
    if (end != std::string::npos && request.size() >= end + 4 + contentLength(request.substr(0, end))) break;
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
