#include "service/check/openFiles.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstring>

std::string raiseOpenFileLimit(std::size_t parallel, std::size_t reserve) {
  const rlim_t needed = static_cast<rlim_t>(parallel + reserve);
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) != 0) return std::string("cannot read the open-file limit: ") + strerror(errno);
  if (files.rlim_cur == RLIM_INFINITY || files.rlim_cur >= needed) return {};
  std::string need =
      "--parallel " + std::to_string(parallel) + " needs about " + std::to_string(needed) + " open files";
  if (files.rlim_max != RLIM_INFINITY && files.rlim_max < needed) {
    return need + "; the limit is " + std::to_string(files.rlim_max) + " (hard)";
  }
  rlimit raised = files;
  raised.rlim_cur = needed;
  if (setrlimit(RLIMIT_NOFILE, &raised) != 0) {
    return need + "; the limit is " + std::to_string(files.rlim_cur) + " and cannot be raised: " + strerror(errno);
  }
  return {};
}
