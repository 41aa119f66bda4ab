#pragma once
// The service's command line:
//   quorvelip-service [--listen ADDR] [--port N] [--db FILE] [--pool FILE] [--ip-db FILE]
//                     [--check-url URL] [--check-key FILE] [--parallel N] [--timeout T] [--connect-timeout T]
//                     [--recheck-every T] [--allow-private] [--max-entries N]
//                     [--head-timeout T] [--idle-timeout T] [--max-head-bytes N] [--max-url-bytes N]
//                     [--max-per-client N] [--max-connections N] [--threads N] [--allow CIDR[,CIDR...]]
//                     [--lease T]
//   quorvelip-service import [--db FILE] [--ip-db FILE] [--allow-private] [--max-entries N] SOURCE...
//   quorvelip-service check [--db FILE] --check-url URL [--check-key FILE] [--parallel N] [--timeout T]
//                           [--connect-timeout T] [--recheck-every T] [--ip-db FILE] [--forever] [--lease T]
// --db FILE is a SQLite file or a postgresql:// URI.
// Durations T: a number with "ms", "s", "m" or "h" (plain numbers are seconds).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/clientGate.h"

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
  std::int64_t connectTimeoutMs = 3000;
  std::int64_t recheckEverySeconds = 600;
  bool allowPrivate = false;           // local-network addresses from web sources too (serve, import)
  std::size_t maxEntries = 5'000'000;  // the store's cap (serve, import)
  // The HTTP front's deadlines and caps (httpServer.h says what each bounds).
  std::int64_t headTimeoutMs = 10000;
  std::int64_t idleTimeoutMs = 5000;
  std::size_t maxHeadBytes = 16 * 1024;
  std::size_t maxUrlBytes = 8 * 1024;
  std::size_t maxPerClient = 64;
  std::size_t maxConnections = 10000;
  std::size_t threads = 0;  // 0: one per core
  std::string allow;        // every --allow given, joined by commas
  bool allowGiven = false;
  ClientGate gate;                   // who may ask: the host itself and the networks of --allow
  std::int64_t leaseMs = 60000;      // how long a claimed entry stays a worker's without a renewal
  bool forever = false;              // check: keep checking what falls due, as a worker
  std::vector<std::string> sources;  // import
  bool help = false;
};

inline constexpr char kServiceUsage[] =
    "usage: quorvelip-service [OPTIONS]                 serve the pool over HTTP\n"
    "       quorvelip-service import [--db FILE] [--ip-db FILE] [--allow-private] [--max-entries N] SOURCE...\n"
    "       quorvelip-service check [--db FILE] --check-url URL [--check-key FILE] [--parallel N] [--timeout T]\n"
    "                               [--connect-timeout T] [--recheck-every T] [--ip-db FILE] [--forever]\n"
    "                               [--lease T]\n"
    "  --listen ADDR      address to listen on (default 127.0.0.1)\n"
    "  --port N           port (default: the port of the program's service address; 0: any free port)\n"
    "  --db FILE|URI      the pool's SQLite file (default: quorvelip.db beside the executable) or\n"
    "                     a shared PostgreSQL database: postgresql://[user[:password]@]host[:port]/dbname\n"
    "  --pool FILE        import this pool file at start (alone: serve it from memory, as before)\n"
    "  --ip-db FILE       region database, for entries and proxies' exits (default: ip2region.db beside the\n"
    "                     executable or in data/)\n"
    "  --check-url URL    check every entry through itself against URL and serve only live ones\n"
    "  --check-key FILE   the key check answers are signed with (default: check.key beside the executable)\n"
    "  --parallel N       checks in flight at once (default 256)\n"
    "  --timeout T        time allowed for one check of one protocol (default 5s)\n"
    "  --connect-timeout T  time allowed for a check's connection and proxy handshake (default 3s)\n"
    "  --recheck-every T  how old a check may get before the entry is checked again (default 10m);\n"
    "                     protocols that failed are tried again after six times that\n"
    "  --allow-private    take private, loopback and link-local addresses from web sources too\n"
    "  --max-entries N    refuse an import that would take the store past N entries (default 5000000)\n"
    "  --head-timeout T   time for a request's whole head, slow sending included (default 10s)\n"
    "  --idle-timeout T   time a kept-alive connection may wait for its next request (default 5s)\n"
    "  --max-head-bytes N size of a request's head, 1 KiB to 1 MiB; 431 beyond (default 16384)\n"
    "  --max-url-bytes N  size of a request's target, 256 B to 1 MiB; 414 beyond (default 8192)\n"
    "  --max-per-client N open connections from one address; 127.0.0.1 and ::1 exempt (default 64)\n"
    "  --max-connections N  open connections in all (default 10000)\n"
    "  --threads N        event loops serving HTTP, 1 to 16 (default: one per core)\n"
    "  --allow CIDRS      who may ask besides 127.0.0.1 and ::1: IPv4 and IPv6 networks or addresses,\n"
    "                     comma-separated; needed to --listen beyond loopback\n"
    "  --lease T          how long claimed entries stay this worker's without a renewal (default 60s)\n"
    "  --forever          (check) keep checking what falls due, beside any number of other workers\n"
    "  SOURCE             a file, - for standard input, or an http:// or https:// address: a list\n"
    "                     (address:port lines, pool lines) or a page (HTML, JSON, text)\n";

// The port of an address such as "http://127.0.0.1:8088"; 80 when it names none.
int portOfServiceUrl(std::string_view url);

// Milliseconds of "250ms", "5s", "10m", "1h" or "5" (seconds); empty when malformed or not positive.
std::optional<std::int64_t> parseDuration(std::string_view text);

// Empty on a malformed command line (unknown option, missing value, bad number, an option the
// command does not take, import without a source, check without --check-url, a check URL the checker
// cannot use, --max-entries 0, a bad --allow item, --listen beyond loopback without --allow). `defaultPool` is used
// when --pool is absent. `problem`, when given, receives what is wrong when there is more to say than the usage.
std::optional<ServiceOptions> parseServiceOptions(const std::vector<std::string_view>& arguments,
                                                  const std::string& defaultPool, std::string* problem = nullptr);
