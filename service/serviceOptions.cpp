#include "service/serviceOptions.h"

#include "buildConfig.h"

namespace {

constexpr int kHttpPort = 80;

std::optional<int> portNumber(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > 65535) return std::nullopt;
  return value;
}

}  // namespace

int portOfServiceUrl(std::string_view url) {
  if (std::size_t scheme = url.find("://"); scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
  url = url.substr(0, url.find('/'));
  std::size_t colon = url.rfind(':');
  if (colon == std::string_view::npos) return kHttpPort;
  return portNumber(url.substr(colon + 1)).value_or(kHttpPort);
}

std::optional<ServiceOptions> parseServiceOptions(const std::vector<std::string_view>& arguments,
                                                  const std::string& defaultPool) {
  ServiceOptions options;
  options.port = portOfServiceUrl(QUORVELIP_SERVICE_URL);
  options.pool = defaultPool;
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    std::string_view argument = arguments[at];
    bool hasValue = at + 1 < arguments.size();
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--port" && hasValue) {
      std::optional<int> port = portNumber(arguments[++at]);
      if (!port) return std::nullopt;
      options.port = *port;
    } else if (argument == "--pool" && hasValue && !arguments[at + 1].empty()) {
      options.pool = std::string(arguments[++at]);
    } else {
      return std::nullopt;
    }
  }
  return options;
}
