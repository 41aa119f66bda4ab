#pragma once
// What the loopback test servers share: sockets on 127.0.0.1, the short waits their threads poll
// with (so they notice a stop), and the request length an HTTP head announces.
#include <winsock2.h>

#include <string>

// A TCP socket bound to 127.0.0.1:port (0 = any free port), Winsock started on first use; the
// port it got in *bound. INVALID_SOCKET when it cannot bind.
SOCKET bindLoopback(unsigned short port, unsigned short* bound);
// The same, listening.
SOCKET listenOnLoopback(unsigned short port, unsigned short* bound);

// Whether the socket becomes readable (or writable) within 50 ms.
bool socketReady(SOCKET socket, bool forWriting = false);

// The body length the request head announces in Content-Length, 0 without one.
size_t announcedLength(const std::string& head);
