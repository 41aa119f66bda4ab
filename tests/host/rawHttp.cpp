#include "rawHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <thread>  // std::chrono: <chrono> itself holds a "µs" that GBK cannot hold

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

RawClient::RawClient(int port, const std::string& from) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<std::uint16_t>(port));
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = fd >= 0 && inet_pton(AF_INET, from.c_str(), &local.sin_addr) == 1 &&
            (ntohl(local.sin_addr.s_addr) >> 24) == 127 &&  // loopback only
            bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
            connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0;
  if (!ok && fd >= 0) ::close(fd);
  fd_ = ok ? fd : -1;
}

RawClient::~RawClient() {
  close();
}

RawClient::RawClient(RawClient&& other) noexcept : fd_(other.fd_), pending_(std::move(other.pending_)) {
  other.fd_ = -1;
}

void RawClient::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool RawClient::send(std::string_view bytes) {
  while (fd_ >= 0 && !bytes.empty()) {
    ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return fd_ >= 0;
}

bool RawClient::readSome(int timeoutMs) {
  pollfd ready{fd_, POLLIN, 0};
  if (fd_ < 0 || poll(&ready, 1, timeoutMs) <= 0) return false;
  char buffer[16384];
  ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
  if (got <= 0) return false;
  pending_.append(buffer, static_cast<std::size_t>(got));
  return true;
}

std::optional<RawAnswer> RawClient::readAnswer(int timeoutMs, bool toHead) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t end;
  while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (!readSome(millisecondsLeft(deadline))) return std::nullopt;
  }
  RawAnswer answer;
  std::string_view head(pending_.data(), end);
  std::size_t lineEnd = head.find("\r\n");
  std::string_view statusLine = head.substr(0, lineEnd);
  if (!statusLine.starts_with("HTTP/1.") || statusLine.size() < 12) return std::nullopt;
  answer.status = std::atoi(std::string(statusLine.substr(9, 3)).c_str());
  while (lineEnd != std::string_view::npos) {
    head.remove_prefix(lineEnd + 2);
    lineEnd = head.find("\r\n");
    std::string_view line = head.substr(0, lineEnd);
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    answer.headers[lower(std::string(line.substr(0, colon)))] = std::string(value);
  }
  pending_.erase(0, end + 4);
  std::size_t length = toHead ? 0 : std::strtoul(answer.header("content-length").c_str(), nullptr, 10);
  while (pending_.size() < length) {
    if (!readSome(millisecondsLeft(deadline))) return std::nullopt;
  }
  answer.body = pending_.substr(0, length);
  pending_.erase(0, length);
  return answer;
}

bool RawClient::closedWithin(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (fd_ >= 0) {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, millisecondsLeft(deadline)) <= 0) return false;
    char buffer[16384];
    if (recv(fd_, buffer, sizeof buffer, 0) <= 0) return true;
  }
  return true;
}

std::optional<RawAnswer> rawGet(int port, const std::string& target, const std::string& from, int timeoutMs) {
  RawClient client(port, from);
  if (!client.send("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")) return std::nullopt;
  return client.readAnswer(timeoutMs);
}
