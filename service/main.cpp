// quorvelip-service: the local extraction service the program queries (GET /mo.php), serving a proxy
// pool kept in a SQLite file or a shared PostgreSQL database, optionally checked live; and its import and
// check commands (check --forever: a worker). See README.md.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "service/check/candidateProbe.h"
#include "service/check/checkAnswer.h"
#include "service/check/checkCommand.h"
#include "service/check/checkKey.h"
#include "service/check/openFiles.h"
#include "service/check/poolKeeper.h"
#include "service/serve/httpServer.h"
#include "service/serve/routes.h"
#include "service/serviceOptions.h"
#include "service/sources/importCommand.h"
#include "service/sources/ipRegion.h"
#include "service/store/poolStore.h"
#include "service/store/storeTarget.h"

namespace {

constexpr char kPoolFileName[] = "pool.txt";
constexpr char kDbFileName[] = "quorvelip.db";
constexpr char kIpDbFileName[] = "ip2region.db";

std::filesystem::path executableFolder() {
  std::error_code error;
  std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : executable.parent_path();
}

// Beside the executable, or in data/ there or one folder up (the build keeps it in build/data).
std::string defaultIpDb() {
  std::filesystem::path folder = executableFolder();
  for (const std::filesystem::path& candidate :
       {folder / kIpDbFileName, folder / "data" / kIpDbFileName, folder.parent_path() / "data" / kIpDbFileName}) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate.string();
  }
  return (folder / kIpDbFileName).string();
}

std::optional<IpRegionDb> openRegions(const ServiceOptions& options) {
  std::string path = options.ipDb.empty() ? defaultIpDb() : options.ipDb;
  std::optional<IpRegionDb> regions = loadIpRegionDb(path);
  if (!regions) {
    std::fprintf(stderr,
                 "quorvelip-service: no region database at %s: address:port entries and proxy exits get no region\n",
                 path.c_str());
  }
  return regions;
}

// The key check answers are signed with: --check-key, or check.key beside the executable, made there
// on first use so every service of this installation shares it.
std::optional<CheckKey> checkKeyOf(const ServiceOptions& options, std::string& error) {
  std::string path = options.checkKey.empty() ? (executableFolder() / kCheckKeyFileName).string() : options.checkKey;
  return loadCheckKey(path, error);
}

// `regions` (the exits' regions) must outlive the checks.
CheckSettings checkSettings(const ServiceOptions& options, CheckKey key, const std::optional<IpRegionDb>& regions) {
  CheckSettings settings;
  settings.checkUrl = options.checkUrl;
  settings.key = std::move(key);
  settings.parallel = options.parallel;
  settings.timeoutMs = static_cast<std::uint32_t>(options.timeoutMs);
  settings.connectTimeoutMs = static_cast<std::uint32_t>(options.connectTimeoutMs);
  settings.reprobeAfterSeconds = kReprobeAfterRechecks * options.recheckEverySeconds;
  settings.regions = regions ? &*regions : nullptr;
  return settings;
}

StoreSettings storeSettings(const ServiceOptions& options) {
  StoreSettings settings;
  settings.maxEntries = options.maxEntries;
  return settings;
}

// Connections in all, within what the open-file limit leaves beside the checker's transfers and the
// store's files; says so when the limit cannot be raised far enough.
std::size_t fitConnections(const ServiceOptions& options) {
  const std::uint64_t reserve = 64 + (options.checkUrl.empty() ? 0 : options.parallel);
  OpenFileLimit limit = raiseOpenFileLimit(options.maxConnections + reserve);
  if (limit.soft >= options.maxConnections + reserve) return options.maxConnections;
  std::size_t room = limit.soft > reserve + 16 ? limit.soft - reserve : 16;
  std::fprintf(stderr,
               "quorvelip-service: the open-file limit is %llu (hard limit %llu): at most %zu connections, not the "
               "%zu of --max-connections\n",
               static_cast<unsigned long long>(limit.soft), static_cast<unsigned long long>(limit.hard), room,
               options.maxConnections);
  return room;
}

// Set by SIGINT and SIGTERM during `check`; a lock-free atomic, as a signal handler may touch.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void requestStop(int) {
  stopRequested = true;
}

// The first Ctrl+C or SIGTERM ends the round gently; a second one (the handler is gone) ends the
// process at once.
void stopOnSignals() {
  struct sigaction action {};
  action.sa_handler = requestStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// check --forever: the keeper's worker without a snapshot, until a stop signal; each round said once all
// its outcomes are written.
int runWorker(const ServiceOptions& options, std::unique_ptr<PoolStore> store, CheckSettings check) {
  KeeperSettings keeping;
  keeping.checking = true;
  keeping.serving = false;
  keeping.check = std::move(check);
  keeping.recheckEverySeconds = options.recheckEverySeconds;
  keeping.leaseMs = options.leaseMs;
  keeping.onRound = [](const RoundFigures& round) {
    std::printf("checked %zu in %.1f s: %zu alive\n", round.checks, static_cast<double>(round.milliseconds) / 1000,
                round.alive);
    std::fflush(stdout);
  };
  std::printf("quorvelip-service: checking %s as %s against %s, due every %lld s\n", store->name().c_str(),
              store->owner().c_str(), options.checkUrl.c_str(), static_cast<long long>(options.recheckEverySeconds));
  std::fflush(stdout);
  {
    SnapshotHolder unused;
    PoolKeeper keeper(std::move(store), keeping, unused);
    keeper.start();
    while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }  // stops the round in flight, writes what arrived, gives back the leases
  std::printf("stopped\n");
  return 0;
}

int runCheckCommand(const ServiceOptions& options, std::unique_ptr<PoolStore> store) {
  std::string error;
  std::optional<CheckKey> key = checkKeyOf(options, error);
  if (!key) {
    std::fprintf(stderr, "quorvelip-service: %s\n", error.c_str());
    return 1;
  }
  std::optional<IpRegionDb> regions = openRegions(options);
  stopOnSignals();
  CheckSettings settings = checkSettings(options, std::move(*key), regions);
  if (options.forever) return runWorker(options, std::move(store), std::move(settings));
  return runCheck(*store, std::move(settings), stdout, stderr, &stopRequested, options.leaseMs);
}

int serve(const ServiceOptions& options, const std::string& dbPath) {
  std::string error;
  std::unique_ptr<PoolStore> store = PoolStore::open(dbPath, error, storeSettings(options));
  if (!store) {
    std::fprintf(stderr, "quorvelip-service: %s: %s\n", maskedTarget(dbPath).c_str(), error.c_str());
    return 1;
  }
  // The shipped sample pool fills the empty default store, so a first start serves what it always
  // served. Never into a store named with --db, and never to be checked: its addresses are invented.
  bool fillWithSample = options.db.empty() && options.checkUrl.empty() && store->count() == 0;
  // For the pool file's entries, and the checker's exits for as long as it runs.
  std::optional<IpRegionDb> regions;
  if (options.poolGiven || fillWithSample || !options.checkUrl.empty()) regions = openRegions(options);
  if (options.poolGiven || fillWithSample) {
    std::FILE* quiet = std::fopen("/dev/null", "w");
    bool read = importSource(*store, options.pool, regions ? &*regions : nullptr, quiet ? quiet : stdout, stderr,
                             {options.allowPrivate});
    if (quiet) std::fclose(quiet);
    if (options.poolGiven && (!read || store->count() == 0)) {
      std::fprintf(stderr, "quorvelip-service: %s: no usable entries\n", options.pool.c_str());
      return 1;
    }
  }

  // The key signs this service's own /check answers and verifies those of its check target. Without a
  // key, a service that checks nothing still serves, only not as a check target.
  std::string keyError;
  std::optional<CheckKey> key = checkKeyOf(options, keyError);
  if (!key && (!options.checkUrl.empty() || !options.checkKey.empty())) {
    std::fprintf(stderr, "quorvelip-service: %s\n", keyError.c_str());
    return 1;
  }
  if (!key) std::fprintf(stderr, "quorvelip-service: %s; /check is not answered\n", keyError.c_str());

  KeeperSettings keeping;
  keeping.checking = !options.checkUrl.empty();
  keeping.check = checkSettings(options, key.value_or(CheckKey{}), regions);
  keeping.recheckEverySeconds = options.recheckEverySeconds;
  keeping.leaseMs = options.leaseMs;
  std::size_t stored = store->count();
  std::string storeName = store->name();
  SnapshotHolder snapshot;
  PoolKeeper keeper(std::move(store), keeping, snapshot);
  keeper.publish();

  ServerLimits limits;
  limits.headTimeoutMs = options.headTimeoutMs;
  limits.idleTimeoutMs = options.idleTimeoutMs;
  limits.maxHeadBytes = options.maxHeadBytes;
  limits.maxTargetBytes = options.maxUrlBytes;
  limits.maxPerClient = options.maxPerClient;
  limits.maxConnections = fitConnections(options);
  // One event loop per core: measured on 2 cores, two loops served 1.2-2.4 times what one did.
  unsigned cores = std::max(1u, std::min(16u, std::thread::hardware_concurrency()));
  limits.threads = options.threads ? static_cast<unsigned>(options.threads) : cores;
  ServerCounters counters;
  ServiceRoutes routes(snapshot, {options.checkUrl, options.recheckEverySeconds}, &counters, key);
  HttpHandlers handlers = routes.handlers();
  handlers.admits = [gate = options.gate](std::string_view peer) { return gate.admits(peer); };
  handlers.openToAll = [](std::string_view target) { return target.substr(0, target.find('?')) == kCheckPath; };
  HttpServer server(std::move(handlers), limits, counters);
  std::string listenError;
  int port = server.listen(options.listen, options.port, listenError);
  if (port == 0) {
    std::fprintf(stderr, "quorvelip-service: cannot listen on %s:%d: %s\n", options.listen.c_str(), options.port,
                 listenError.c_str());
    return 1;
  }
  // Before the keeper starts: from here on SIGTERM and Ctrl+C end the service in order.
  server.stopOnSignals();
  // What is served follows the store (live entries once anything in it was checked); what this service
  // does itself, --check-url.
  std::string mode = snapshot.get()->checked ? "serving live entries" : "serving every entry: nothing checked yet";
  mode += keeping.checking ? ", checking against " + options.checkUrl + " every " +
                                 std::to_string(options.recheckEverySeconds) + " s"
                           : ", checking nothing: no --check-url";
  // Scripts wait for this line before they send queries.
  std::printf("quorvelip-service: %zu entries served of %zu in %s, %s; listening on http://%s:%d\n",
              snapshot.get()->served.size(), stored, storeName.c_str(), mode.c_str(), options.listen.c_str(), port);
  std::fflush(stdout);
  if (keeping.checking || dbPath != ":memory:") keeper.start();
  // Returns once a stop signal's answers in flight are done; the keeper then stops as it goes out of scope.
  server.run();
  return 0;
}

}  // namespace

int main(int argc, char** argv) try {
  // libcurl is told to leave signals alone, and a peer that closes turns a write into EPIPE: never let
  // SIGPIPE end the program, whatever command it runs.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string_view> arguments(argv + 1, argv + argc);
  std::string problem;
  std::optional<ServiceOptions> options =
      parseServiceOptions(arguments, (executableFolder() / kPoolFileName).string(), &problem);
  if (!options) {
    if (!problem.empty()) std::fprintf(stderr, "quorvelip-service: %s\n", problem.c_str());
    std::fputs(kServiceUsage, stderr);
    return 2;
  }
  if (options->help) {
    std::fputs(kServiceUsage, stdout);
    return 0;
  }
  // Every check in flight holds a socket: the descriptors for --parallel are secured now, or the
  // command is refused with the numbers, rather than checks failing with EMFILE later.
  bool checking = options->command == ServiceCommand::check || !options->checkUrl.empty();
  std::size_t reserve = kFilesBesideChecks + (options->command == ServiceCommand::serve ? kFilesForServing : 0);
  if (std::string shortage = checking ? raiseOpenFileLimit(options->parallel, reserve) : ""; !shortage.empty()) {
    std::fprintf(stderr, "quorvelip-service: %s\n", shortage.c_str());
    return 2;
  }
  // --pool alone serves that file from memory, as the service always did; otherwise the store file.
  std::string dbPath = options->db;
  if (dbPath.empty()) {
    dbPath = options->command == ServiceCommand::serve && options->poolGiven
                 ? ":memory:"
                 : (executableFolder() / kDbFileName).string();
  }
  if (options->command == ServiceCommand::serve) return serve(*options, dbPath);

  std::string error;
  std::unique_ptr<PoolStore> store = PoolStore::open(dbPath, error, storeSettings(*options));
  if (!store) {
    std::fprintf(stderr, "quorvelip-service: %s: %s\n", maskedTarget(dbPath).c_str(), error.c_str());
    return 1;
  }
  if (options->command == ServiceCommand::import) {
    std::optional<IpRegionDb> regions = openRegions(*options);
    return runImport(*store, options->sources, regions ? &*regions : nullptr, stdout, stderr, {options->allowPrivate});
  }
  return runCheckCommand(*options, std::move(store));
} catch (const StoreError& failure) {
  // A store call without a report of its own failed: said here, never left half done in silence.
  std::fprintf(stderr, "quorvelip-service: the store failed: %s\n", failure.what());
  return 1;
}
