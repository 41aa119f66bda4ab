#include "realProxies.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// squid takes about 3 s to listen; a loaded machine more.
constexpr int kStartWaitMs = 20000;
constexpr int kStopWaitMs = 5000;

sockaddr_in loopback(const std::string& address, std::uint16_t port) {
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
    throw std::invalid_argument("not an IPv4 address: " + address);
  }
  if ((ntohl(where.sin_addr.s_addr) >> 24) != 127) throw std::invalid_argument("not loopback: " + address);
  return where;
}

// A port nothing listens on at `address` now: bound to port 0, read back, closed. Each proxy has an
// address of its own, so no other test takes it in between.
std::uint16_t freePort(const std::string& address) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in where = loopback(address, 0);
  socklen_t size = sizeof where;
  bool bound = bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 &&
               getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size) == 0;
  close(fd);
  if (!bound) throw std::runtime_error("no free port on " + address);
  return ntohs(where.sin_port);
}

void sleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

const char* serverName(RealServer server) {
  switch (server) {
    case RealServer::squid:
      return "squid";
    case RealServer::tinyproxy:
      return "tinyproxy";
    case RealServer::dante:
      return "danted";
    case RealServer::microsocks:
      return "microsocks";
  }
  return "?";
}

}  // namespace

bool processGroupExists(pid_t pid) {
  return pid > 0 && (kill(-pid, 0) == 0 || errno == EPERM);
}

RealProxy::RealProxy(RealProxySetup setup) : setup_(std::move(setup)) {
  loopback(setup_.listen, 0);
  loopback(setup_.exit, 0);
  char folder[] = "/tmp/qv-real-proxy-XXXXXX";
  if (!mkdtemp(folder)) throw std::runtime_error("mkdtemp failed");
  folder_ = folder;
  // squid, tinyproxy and dante drop root for users of their own that must still write their logs here.
  chmod(folder_.c_str(), 0777);
  // A server's children that outlive it (dante's) come to this process to be reaped, not to init:
  // otherwise they linger as zombies of the group for as long as init takes.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  try {
    port_ = freePort(setup_.listen);
    writeConfig();
    start();
  } catch (...) {
    stop();
    std::filesystem::remove_all(folder_);
    throw;
  }
}

RealProxy::~RealProxy() {
  stop();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

CheckCandidate RealProxy::candidate(std::int64_t id, ProtocolSet scheme) const {
  CheckCandidate candidate;
  candidate.id = id;
  candidate.address = setup_.listen;
  candidate.port = port_;
  candidate.scheme = scheme;
  candidate.username = setup_.username;
  candidate.password = setup_.password;
  return candidate;
}

std::string RealProxy::log() const {
  std::ostringstream text;
  for (const char* name : {"out.log", "server.log"}) {
    std::ifstream file(folder_ + "/" + name);
    text << file.rdbuf();
  }
  return text.str();
}

void RealProxy::writeConfig() {
  const std::string port = std::to_string(port_);
  std::ofstream config(folder_ + "/proxy.conf");
  switch (setup_.server) {
    case RealServer::squid:
      config << "http_port " << setup_.listen << ":" << port << "\n"
             << "http_access allow all\ncache deny all\naccess_log none\n"
             << "cache_log " << folder_ << "/server.log\n"
             << "pid_filename " << folder_ << "/squid.pid\n"
             << "coredump_dir " << folder_ << "\n"
             << "shutdown_lifetime 1 seconds\npinger_enable off\n"
             << "tcp_outgoing_address " << setup_.exit << "\n"
             << "forwarded_for " << setup_.forwardedFor << "\n"
             << "via " << (setup_.via ? "on" : "off") << "\n";
      break;
    case RealServer::tinyproxy:
      config << "User nobody\nGroup nogroup\n"
             << "Port " << port << "\nListen " << setup_.listen << "\nBind " << setup_.exit << "\n"
             << "Timeout 30\nMaxClients 50\nAllow 127.0.0.0/8\nLogLevel Error\n"
             << "LogFile \"" << folder_ << "/server.log\"\n";
      break;
    case RealServer::dante:
      config << "logoutput: " << folder_ << "/server.log\n"
             << "internal: " << setup_.listen << " port = " << port << "\n"
             << "external: " << setup_.exit << "\n"
             << "clientmethod: none\nsocksmethod: none\n"
             << "user.privileged: root\nuser.unprivileged: nobody\n"
             << "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
             << "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n";
      break;
    case RealServer::microsocks:
      break;  // all on its command line
  }
  if (!config) throw std::runtime_error("cannot write the configuration in " + folder_);
}

void RealProxy::start() {
  const std::string config = folder_ + "/proxy.conf";
  const std::string port = std::to_string(port_);
  std::vector<std::string> arguments;
  switch (setup_.server) {
    case RealServer::squid:
      arguments = {"/usr/sbin/squid", "-f", config, "-N"};
      break;
    case RealServer::tinyproxy:
      arguments = {"/usr/bin/tinyproxy", "-d", "-c", config};
      break;
    case RealServer::dante:
      arguments = {"/usr/sbin/danted", "-f", config, "-p", folder_ + "/dante.pid"};
      break;
    case RealServer::microsocks:
      arguments = {"/usr/bin/microsocks", "-i", setup_.listen, "-p", port, "-b", setup_.exit};
      if (!setup_.username.empty()) {
        arguments.insert(arguments.end(), {"-u", setup_.username, "-P", setup_.password});
      }
      break;
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const std::string output = folder_ + "/out.log";
  int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) throw std::runtime_error("cannot open " + output);
  pid_ = fork();
  if (pid_ == 0) {
    // A group of its own, so that whatever it forks can be ended with it by its pid. Only
    // async-signal-safe calls before exec: the test has threads.
    setpgid(0, 0);
    for (int number = 1; number < NSIG; ++number) ::signal(number, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out);
  if (pid_ < 0) throw std::runtime_error("fork failed");
  setpgid(pid_, pid_);  // also from here: either may run first
  for (int waited = 0; waited < kStartWaitMs; waited += 50) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error(std::string(serverName(setup_.server)) + " ended at start: " + log());
    }
    if (listening()) return;
    sleepMs(50);
  }
  throw std::runtime_error(std::string(serverName(setup_.server)) + " did not listen on " + setup_.listen + ":" + port +
                           " within " + std::to_string(kStartWaitMs / 1000) + " s: " + log());
}

bool RealProxy::listening() const {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in where = loopback(setup_.listen, port_);
  bool connected = connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0;
  close(fd);
  return connected;
}

void RealProxy::stop() {
  if (pid_ <= 0) return;
  // Asked first, so that it ends its own children (dante's); then the whole group by force.
  kill(pid_, SIGTERM);
  int status = 0;
  bool reaped = false;
  for (int waited = 0; waited < kStopWaitMs && !reaped; waited += 20) {
    reaped = waitpid(pid_, &status, WNOHANG) == pid_;
    if (!reaped) sleepMs(20);
  }
  kill(-pid_, SIGKILL);
  if (!reaped) waitpid(pid_, &status, 0);
  // Its orphaned children, reparented to this process.
  for (int waited = 0; waited < kStopWaitMs; waited += 20) {
    pid_t child = waitpid(-pid_, &status, WNOHANG);
    if (child > 0) continue;
    if (child < 0 && !processGroupExists(pid_)) break;
    sleepMs(20);
  }
  pid_ = -1;
}
