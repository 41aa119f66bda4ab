#pragma once
// Real proxy servers from Debian's packages (squid, tinyproxy, dante, microsocks) as children of a test:
// each gets a configuration of its own in a temporary folder, listens on its own loopback address on a
// port free at the time, and sends its requests on from another loopback address, so a target on
// 127.0.0.1 sees that one as the peer. The constructor returns once the server accepts connections and
// throws when it cannot be started (a test that needs one fails, never skips); the destructor ends it by
// its pid (its own children with it) and removes the folder.
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "service/check/checker.h"

enum class RealServer {
  squid,       // HTTP and CONNECT
  tinyproxy,   // HTTP and CONNECT
  dante,       // SOCKS4 and SOCKS5
  microsocks,  // SOCKS5, with a user and password when given
};

struct RealProxySetup {
  RealServer server = RealServer::squid;
  std::string listen;  // a 127.x address of its own
  std::string exit;    // the 127.x address it connects on from
  // squid only: "on" (the client's address in X-Forwarded-For), "delete" (no such header), ...
  std::string forwardedFor = "on";
  bool via = true;  // squid only: a Via header
  // microsocks only: the one user it lets through, none when empty.
  std::string username = {};
  std::string password = {};
};

class RealProxy {
 public:
  explicit RealProxy(RealProxySetup setup);
  ~RealProxy();
  RealProxy(const RealProxy&) = delete;
  RealProxy& operator=(const RealProxy&) = delete;

  const std::string& address() const { return setup_.listen; }
  std::uint16_t port() const { return port_; }
  pid_t pid() const { return pid_; }
  // A candidate for the checker at this proxy, its list naming `scheme` (0 for a bare address).
  CheckCandidate candidate(std::int64_t id, ProtocolSet scheme = 0) const;
  // The server's own log, for a failure's message.
  std::string log() const;

 private:
  void writeConfig();
  void start();
  bool listening() const;
  void stop();

  RealProxySetup setup_;
  std::string folder_;
  std::uint16_t port_ = 0;
  pid_t pid_ = -1;
};

// Whether any process is left in the group a RealProxy's server led (its pid): the server and whatever
// it forked.
bool processGroupExists(pid_t pid);
