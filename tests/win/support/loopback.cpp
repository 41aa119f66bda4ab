#include "support/loopback.h"

#include <ws2tcpip.h>

#include <cstdlib>

namespace {
struct WinsockUser {
  WinsockUser() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};
}  // namespace

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

SOCKET listenOnLoopback(unsigned short port, unsigned short* bound) {
  SOCKET socket = bindLoopback(port, bound);
  if (socket != INVALID_SOCKET && listen(socket, 16) != 0) {
    closesocket(socket);
    return INVALID_SOCKET;
  }
  return socket;
}

bool socketReady(SOCKET socket, bool forWriting) {
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
