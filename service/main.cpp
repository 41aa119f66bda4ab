// quorvelip-service: the local extraction service the program queries (GET /mo.php), serving a proxy
// pool from a data file on 127.0.0.1. See README.md.
#include <httplib.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/proxyPool.h"
#include "service/serviceOptions.h"
#include "service/serviceRoutes.h"

namespace {

// Loopback only: the pool is sample data for this machine's program, not a public service.
constexpr char kListenHost[] = "127.0.0.1";
constexpr char kPoolFileName[] = "pool.txt";

std::string poolBesideExecutable() {
  std::error_code error;
  std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return kPoolFileName;
  return (executable.parent_path() / kPoolFileName).string();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> arguments(argv + 1, argv + argc);
  std::optional<ServiceOptions> options = parseServiceOptions(arguments, poolBesideExecutable());
  if (!options) {
    std::fputs(kServiceUsage, stderr);
    return 2;
  }
  if (options->help) {
    std::fputs(kServiceUsage, stdout);
    return 0;
  }

  PoolLoad pool = loadPool(options->pool);
  for (const std::string& warning : pool.warnings) {
    std::fprintf(stderr, "quorvelip-service: %s: %s\n", options->pool.c_str(), warning.c_str());
  }
  if (!pool.fileRead) return 1;
  if (pool.entries.empty()) {
    std::fprintf(stderr, "quorvelip-service: %s: no usable entries\n", options->pool.c_str());
    return 1;
  }

  httplib::Server server;
  installRoutes(server, pool.entries);
  int port = options->port;
  if (port == 0) {
    port = server.bind_to_any_port(kListenHost);
  } else if (!server.bind_to_port(kListenHost, port)) {
    port = -1;
  }
  if (port < 0) {
    std::fprintf(stderr, "quorvelip-service: cannot listen on %s:%d\n", kListenHost, options->port);
    return 1;
  }
  // Scripts wait for this line before they send queries.
  std::printf("quorvelip-service: %zu entries from %s, listening on http://%s:%d\n", pool.entries.size(),
              options->pool.c_str(), kListenHost, port);
  std::fflush(stdout);
  return server.listen_after_bind() ? 0 : 1;
}
