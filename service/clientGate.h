#pragma once
// Who may ask (--allow CIDR[,CIDR...]): IPv4 and IPv6 networks. The program's mo.php request cannot carry
// a key, so the client's address is the gate. The host's own 127.0.0.1 and ::1 are always let in; other
// loopback addresses only when listed, so a client on 127.0.0.2 stands for one from elsewhere. A client
// written ::ffff:a.b.c.d (IPv4 on an IPv6 socket) is judged as the IPv4 address it is.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ClientGate {
 public:
  // Admits the host itself alone.
  ClientGate() = default;

  // Each comma-separated item is ADDRESS or ADDRESS/BITS (a bare address is /32 or /128; host bits
  // below the prefix are ignored). Empty, with `problem` naming the bad item and why, when one is not.
  static std::optional<ClientGate> parse(std::string_view list, std::string& problem);

  // `address` as text ("127.0.0.2", "2001:db8::7", "::ffff:10.0.0.1", "fe80::1%eth0"); false for
  // anything unreadable.
  bool admits(std::string_view address) const;

 private:
  struct Network {
    std::array<std::uint8_t, 16> bytes{};  // IPv4 in the first four
    bool v6 = false;
    int bits = 0;
  };
  std::vector<Network> networks_;
};

// Whether listening on `address` keeps the service to this machine: 127.0.0.0/8 and ::1 do.
bool isLoopbackListen(std::string_view address);
