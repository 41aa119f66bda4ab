#include "service/check/openFiles.h"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

OpenFileLimit raiseOpenFileLimit(std::uint64_t wanted) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return {};
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min<rlim_t>(wanted, limit.rlim_max);
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  auto value = [](rlim_t v) { return v == RLIM_INFINITY ? UINT64_MAX : static_cast<std::uint64_t>(v); };
  return {value(limit.rlim_cur), value(limit.rlim_max)};
}

std::string raiseOpenFileLimit(std::size_t parallel, std::size_t reserve) {
  const std::uint64_t needed = parallel + reserve;
  OpenFileLimit limit = raiseOpenFileLimit(needed);
  if (limit.soft >= needed) return {};
  std::string need =
      "--parallel " + std::to_string(parallel) + " needs about " + std::to_string(needed) + " open files";
  if (limit.hard < needed) return need + "; the limit is " + std::to_string(limit.hard) + " (hard)";
  return need + "; the limit is " + std::to_string(limit.soft) + " and cannot be raised: " + strerror(errno);
}
