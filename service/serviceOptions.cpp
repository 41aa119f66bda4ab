#include "service/serviceOptions.h"

#include "buildConfig.h"
#include "service/check/checkUrl.h"
#include "service/store/ipv4.h"

namespace {

constexpr int kHttpPort = 80;
constexpr std::size_t kMaxParallel = 10000;
constexpr std::int64_t kMaxTimeoutMs = 10 * 60 * 1000;
constexpr std::size_t kMaxBytesCap = 1024 * 1024;
constexpr std::size_t kMaxConnectionsCap = 1000000;

// The HTTP front's numeric caps, each with its range.
struct SizeOption {
  std::string_view name;
  std::size_t ServiceOptions::*field;
  std::size_t least;
  std::size_t most;
};
constexpr SizeOption kSizeOptions[] = {
    {"--max-head-bytes", &ServiceOptions::maxHeadBytes, 1024, kMaxBytesCap},
    {"--max-url-bytes", &ServiceOptions::maxUrlBytes, 256, kMaxBytesCap},
    {"--max-per-client", &ServiceOptions::maxPerClient, 1, kMaxConnectionsCap},
    {"--max-connections", &ServiceOptions::maxConnections, 1, kMaxConnectionsCap},
    {"--threads", &ServiceOptions::threads, 1, 16},
};

std::optional<int> portNumber(std::string_view text) {
  std::optional<std::uint32_t> value = parseDecimal(text, 5);
  if (!value || *value > 65535) return std::nullopt;
  return static_cast<int>(*value);
}

bool takesOption(ServiceCommand command, std::string_view option) {
  if (option == "--db") return true;
  switch (command) {
    case ServiceCommand::serve:
      return true;
    case ServiceCommand::import:
      return option == "--ip-db" || option == "--allow-private" || option == "--max-entries";
    case ServiceCommand::check:
      return option == "--check-url" || option == "--check-key" || option == "--parallel" || option == "--timeout" ||
             option == "--connect-timeout" || option == "--recheck-every" || option == "--ip-db" ||
             option == "--lease" || option == "--forever";
  }
  return false;
}

// Sets the option's value; false when it is malformed, with `problem` set when the usage is not enough.
bool setOption(ServiceOptions& options, std::string_view option, std::string_view value, std::string& problem) {
  if (option == "--allow") {
    // Each --allow adds its networks; all are read, and the bad item named, once the line is read.
    if (options.allowGiven) options.allow += ',';
    options.allow += value;
    options.allowGiven = true;
    return true;
  }
  if (value.empty()) return false;
  if (option == "--port") {
    std::optional<int> port = portNumber(value);
    if (port) options.port = *port;
    return port.has_value();
  }
  if (option == "--parallel") {
    std::optional<std::uint32_t> parallel = parseDecimal(value, 5);
    if (!parallel || *parallel < 1 || *parallel > kMaxParallel) return false;
    options.parallel = *parallel;
    return true;
  }
  if (option == "--max-entries") {
    std::optional<std::uint32_t> cap = parseDecimal(value, 9);
    if (!cap || *cap < 1) return false;
    options.maxEntries = *cap;
    return true;
  }
  for (const SizeOption& size : kSizeOptions) {
    if (option != size.name) continue;
    std::optional<std::uint32_t> number = parseDecimal(value, 7);
    if (!number || *number < size.least || *number > size.most) return false;
    options.*size.field = *number;
    return true;
  }
  if (option == "--timeout" || option == "--connect-timeout" || option == "--recheck-every" ||
      option == "--head-timeout" || option == "--idle-timeout" || option == "--lease") {
    std::optional<std::int64_t> duration = parseDuration(value);
    if (!duration) return false;
    if (option == "--lease") {
      // Renewed three times a lease: under a second it would be little but renewals.
      if (*duration < 1000 || *duration > kMaxTimeoutMs) return false;
      options.leaseMs = *duration;
      return true;
    }
    if (option == "--recheck-every") {
      options.recheckEverySeconds = (*duration + 999) / 1000;
      return true;
    }
    if (*duration > kMaxTimeoutMs) return false;
    (option == "--timeout"           ? options.timeoutMs
     : option == "--connect-timeout" ? options.connectTimeoutMs
     : option == "--head-timeout"    ? options.headTimeoutMs
                                     : options.idleTimeoutMs) = *duration;
    return true;
  }
  if (option == "--check-url") {
    // Refused here, with the reason, rather than met by the checker in the middle of a round.
    if (std::string why = checkUrlProblem(value); !why.empty()) {
      problem = "--check-url '" + std::string(value) + "': " + why;
      return false;
    }
    options.checkUrl = std::string(value);
    return true;
  }
  std::string* target = option == "--listen"      ? &options.listen
                        : option == "--db"        ? &options.db
                        : option == "--pool"      ? &options.pool
                        : option == "--ip-db"     ? &options.ipDb
                        : option == "--check-key" ? &options.checkKey
                                                  : nullptr;
  if (!target) return false;
  *target = std::string(value);
  if (option == "--pool") options.poolGiven = true;
  return true;
}

}  // namespace

int portOfServiceUrl(std::string_view url) {
  if (std::size_t scheme = url.find("://"); scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
  url = url.substr(0, url.find('/'));
  std::size_t colon = url.rfind(':');
  if (colon == std::string_view::npos) return kHttpPort;
  return portNumber(url.substr(colon + 1)).value_or(kHttpPort);
}

std::optional<std::int64_t> parseDuration(std::string_view text) {
  std::size_t digits = text.find_first_not_of("0123456789");
  std::optional<std::uint32_t> number = parseDecimal(text.substr(0, digits), 9);
  if (!number || *number == 0) return std::nullopt;
  std::string_view unit = digits == std::string_view::npos ? "s" : text.substr(digits);
  std::int64_t value = *number;
  if (unit == "ms") return value;
  if (unit == "s") return value * 1000;
  if (unit == "m") return value * 60 * 1000;
  if (unit == "h") return value * 3600 * 1000;
  return std::nullopt;
}

std::optional<ServiceOptions> parseServiceOptions(const std::vector<std::string_view>& arguments,
                                                  const std::string& defaultPool, std::string* problem) {
  std::string ignored;
  std::string& why = problem ? *problem : ignored;
  ServiceOptions options;
  options.port = portOfServiceUrl(QUORVELIP_SERVICE_URL);
  options.pool = defaultPool;
  std::size_t at = 0;
  if (!arguments.empty() && arguments[0] == "import") {
    options.command = ServiceCommand::import;
    at = 1;
  } else if (!arguments.empty() && arguments[0] == "check") {
    options.command = ServiceCommand::check;
    at = 1;
  }
  for (; at < arguments.size(); ++at) {
    std::string_view argument = arguments[at];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--allow-private") {
      if (!takesOption(options.command, argument)) return std::nullopt;
      options.allowPrivate = true;
    } else if (argument == "--forever") {
      if (options.command != ServiceCommand::check) return std::nullopt;
      options.forever = true;
    } else if (argument == "-" && options.command == ServiceCommand::import) {
      options.sources.emplace_back(argument);  // standard input
    } else if (argument.starts_with("-")) {
      if (!takesOption(options.command, argument) || at + 1 >= arguments.size()) return std::nullopt;
      if (!setOption(options, argument, arguments[++at], why)) return std::nullopt;
    } else if (options.command == ServiceCommand::import) {
      options.sources.emplace_back(argument);
    } else {
      return std::nullopt;
    }
  }
  if (options.help) return options;
  if (options.command == ServiceCommand::import && options.sources.empty()) return std::nullopt;
  if (options.command == ServiceCommand::check && options.checkUrl.empty()) return std::nullopt;
  if (options.allowGiven) {
    std::optional<ClientGate> gate = ClientGate::parse(options.allow, why);
    if (!gate) return std::nullopt;
    options.gate = std::move(*gate);
  }
  // Beyond loopback anyone on the network could ask: the operator says who may.
  if (options.command == ServiceCommand::serve && !options.allowGiven && !isLoopbackListen(options.listen)) {
    why = "--listen " + options.listen + " reaches beyond this machine: say who may ask with --allow CIDR[,CIDR...]";
    return std::nullopt;
  }
  return options;
}
