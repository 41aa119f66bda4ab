#pragma once
// The service's command line:
//   quorvelip-service [--listen ADDR] [--port N] [--db FILE] [--pool FILE] [--ip-db FILE]
//                     [--check-url URL] [--check-key FILE] [--parallel N] [--timeout T] [--recheck-every T]
//   quorvelip-service import [--db FILE] [--ip-db FILE] SOURCE...
//   quorvelip-service check [--db FILE] --check-url URL [--check-key FILE] [--parallel N] [--timeout T]
// Durations T: a number with "ms", "s", "m" or "h" (plain numbers are seconds).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class ServiceCommand { serve, import, check };

struct ServiceOptions {
  ServiceCommand command = ServiceCommand::serve;
  std::string listen = "127.0.0.1";  // loopback unless asked otherwise
  int port = 0;                      // 0 picks a free port (the service prints the one it got)
  std::string db;                    // empty: the default file beside the executable, or in memory with --pool
  std::string pool;                  // the pool file imported at start; see poolGiven
  bool poolGiven = false;
  std::string ipDb;      // the region database
  std::string checkUrl;  // empty: no checking, the pool is served unchecked
  std::string checkKey;  // the key file; empty: check.key beside the executable
  std::size_t parallel = 256;
  std::int64_t timeoutMs = 5000;
  std::int64_t recheckEverySeconds = 600;
  std::vector<std::string> sources;  // import
  bool help = false;
};

inline constexpr char kServiceUsage[] =
    "usage: quorvelip-service [OPTIONS]                 serve the pool over HTTP\n"
    "       quorvelip-service import [--db FILE] [--ip-db FILE] SOURCE...\n"
    "       quorvelip-service check [--db FILE] --check-url URL [--check-key FILE] [--parallel N] [--timeout T]\n"
    "  --listen ADDR      address to listen on (default 127.0.0.1)\n"
    "  --port N           port (default: the port of the program's service address; 0: any free port)\n"
    "  --db FILE          the pool's database (default: quorvelip.db beside the executable)\n"
    "  --pool FILE        import this pool file at start (alone: serve it from memory, as before)\n"
    "  --ip-db FILE       region database (default: ip2region.db beside the executable or in data/)\n"
    "  --check-url URL    check every entry through itself against URL and serve only live ones\n"
    "  --check-key FILE   the key check answers are signed with (default: check.key beside the executable)\n"
    "  --parallel N       checks in flight at once (default 256)\n"
    "  --timeout T        time allowed for one check (default 5s)\n"
    "  --recheck-every T  how old a check may get before the entry is checked again (default 10m)\n"
    "  SOURCE             a file or an http:// or https:// address: address:port lines or pool lines\n";

// The port of an address such as "http://127.0.0.1:8088"; 80 when it names none.
int portOfServiceUrl(std::string_view url);

// Milliseconds of "250ms", "5s", "10m", "1h" or "5" (seconds); empty when malformed or not positive.
std::optional<std::int64_t> parseDuration(std::string_view text);

// Empty on a malformed command line (unknown option, missing value, bad number, an option the
// command does not take, import without a source, check without --check-url, a check URL the checker
// cannot use). `defaultPool` is used when --pool is absent. `problem`, when given, receives what is
// wrong when there is more to say than the usage.
std::optional<ServiceOptions> parseServiceOptions(const std::vector<std::string_view>& arguments,
                                                  const std::string& defaultPool, std::string* problem = nullptr);
