#include "mixedFarm.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace {

bool writeAll(int fd, const void* data, std::size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t wrote = write(fd, at, size);
    if (wrote <= 0) return false;
    at += wrote;
    size -= static_cast<std::size_t>(wrote);
  }
  return true;
}

bool readAll(int fd, void* data, std::size_t size) {
  char* at = static_cast<char*>(data);
  while (size > 0) {
    ssize_t got = read(fd, at, size);
    if (got <= 0) return false;
    at += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

std::string spreadAddress(int block, int i) {
  return "127." + std::to_string(block) + "." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
}

MixedFarm::MixedFarm(MixedCounts counts, FarmShape shape, const CheckKey& key) {
  // The refusing ones are addresses here; the others are the farm's.
  std::vector<Planned> planned;
  std::vector<int> place;  // per candidate: its index in `planned`, or -1 for a refusing one
  int goodMade = 0, refusingMade = 0, silentMade = 0;
  for (std::int64_t id = 0; id < counts.good + counts.refusing + counts.silent; ++id) {
    int phase = static_cast<int>(id % 20);
    if (phase < 2 && goodMade < counts.good) {
      place.push_back(static_cast<int>(planned.size()));
      planned.push_back({FakeKind::forward, id, spreadAddress(1, goodMade++)});
    } else if (phase < 11 && refusingMade < counts.refusing) {
      place.push_back(-1);
      ++refusingMade;
    } else {
      place.push_back(static_cast<int>(planned.size()));
      planned.push_back({FakeKind::hold, id, spreadAddress(3, silentMade++)});
    }
  }
  start(planned, shape, key);
  refusingMade = 0;
  for (std::int64_t id = 0; id < static_cast<std::int64_t>(place.size()); ++id) {
    int at = place[static_cast<std::size_t>(id)];
    if (at < 0) {
      candidates_.mixed.push_back(FakeProxyFarm::refusing(id, spreadAddress(2, refusingMade++)));
      continue;
    }
    const Planned& proxy = planned[static_cast<std::size_t>(at)];
    candidates_.mixed.push_back({proxy.id, proxy.address, ports_[static_cast<std::size_t>(at)], kHttp});
    (proxy.kind == FakeKind::forward ? candidates_.good : candidates_.silent).push_back(candidates_.mixed.back());
  }
}

// The proxies dealt out in turn over `shape.processes` children, the check target in one more. Each child
// answers on a pipe (a farm: its listeners' ports, then its accepted count per request) and ends when this
// process closes its end, or dies.
void MixedFarm::start(const std::vector<Planned>& planned, FarmShape shape, const CheckKey& key) {
  ports_.resize(planned.size());
  const std::size_t step = static_cast<std::size_t>(shape.processes);
  for (std::size_t first = 0; first < step; ++first) {
    farms_.push_back(spawn([&](int commands, int replies) {
      FakeProxyFarm farm(shape.workers);
      std::vector<std::uint16_t> ports;
      for (std::size_t i = first; i < planned.size(); i += step) {
        ports.push_back(farm.add({planned[i].kind}, planned[i].id, planned[i].address).port);
      }
      writeAll(replies, ports.data(), ports.size() * sizeof ports[0]);
      char command = 0;
      while (read(commands, &command, 1) == 1) {
        int accepted = farm.accepted();
        writeAll(replies, &accepted, sizeof accepted);
      }
    }));
    for (std::size_t i = first; i < planned.size(); i += step) {
      if (!readAll(farms_.back().replies, &ports_[i], sizeof ports_[i])) throw std::runtime_error("farm");
    }
  }
  target_ = spawn([&](int commands, int replies) {
    CheckTargetServer server(key);
    int port = server.port();
    writeAll(replies, &port, sizeof port);
    char command = 0;
    while (read(commands, &command, 1) == 1) {
    }
  });
  if (!readAll(target_.replies, &targetPort_, sizeof targetPort_)) throw std::runtime_error("check target");
}

MixedFarm::~MixedFarm() {
  farms_.push_back(target_);
  for (const Child& child : farms_) {
    close(child.commands);
    close(child.replies);
    waitpid(child.pid, nullptr, 0);
  }
}

std::string MixedFarm::checkUrl() const {
  return "http://127.0.0.1:" + std::to_string(targetPort_) + kCheckPath;
}

int MixedFarm::accepted() const {
  int total = 0;
  for (const Child& farm : farms_) {
    char command = 'a';
    int accepted = 0;
    if (!writeAll(farm.commands, &command, 1) || !readAll(farm.replies, &accepted, sizeof accepted)) {
      throw std::runtime_error("farm");
    }
    total += accepted;
  }
  return total;
}

template <class Serve>
MixedFarm::Child MixedFarm::spawn(Serve serve) {
  int commands[2];
  int replies[2];
  if (pipe2(commands, O_CLOEXEC) != 0 || pipe2(replies, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    close(commands[1]);
    close(replies[0]);
    for (const Child& earlier : farms_) {
      close(earlier.commands);
      close(earlier.replies);
    }
    // Whatever happens, the child never returns into the bench: the bench sees its pipe close.
    try {
      serve(commands[0], replies[1]);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "farm child: %s\n", error.what());
      _exit(1);
    }
    _exit(0);
  }
  close(commands[0]);
  close(replies[1]);
  return {pid, commands[1], replies[0]};
}

std::vector<CheckCandidate> bare(std::vector<CheckCandidate> candidates) {
  for (CheckCandidate& candidate : candidates) candidate.scheme = 0;
  return candidates;
}

std::vector<CheckCandidate> named(std::vector<CheckCandidate> candidates) {
  for (CheckCandidate& candidate : candidates) candidate.scheme = kHttp;
  return candidates;
}
