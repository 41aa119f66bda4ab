#pragma once
// The service's command line:  quorvelip-service [--port N] [--pool FILE] [--help]
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ServiceOptions {
  int port = 0;      // 0 picks a free port (the service prints the one it got)
  std::string pool;  // path of the pool file
  bool help = false;
};

inline constexpr char kServiceUsage[] =
    "usage: quorvelip-service [--port N] [--pool FILE]\n"
    "  --port N     listen on 127.0.0.1:N (default: the port of the program's service address)\n"
    "  --pool FILE  proxy pool to serve (default: pool.txt beside the executable)\n";

// The port of an address such as "http://127.0.0.1:8088"; 80 when it names none.
int portOfServiceUrl(std::string_view url);

// Empty on a malformed command line (unknown option, missing value, port not 0 to 65535).
// `defaultPool` is used when --pool is absent.
std::optional<ServiceOptions> parseServiceOptions(const std::vector<std::string_view>& arguments,
                                                  const std::string& defaultPool);
