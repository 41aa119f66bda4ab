#include "pgCluster.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

extern char** environ;

namespace {

constexpr char kBin[] = "/usr/lib/postgresql/15/bin/";

std::unique_ptr<PgCluster> cluster;
bool tried = false;
std::string problem;

// A port the kernel just handed out on loopback; the server binds it a moment later.
int freePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

// A command as the postgres user (the server refuses root), its output into the cluster's folder.
bool asPostgres(const std::string& folder, const std::string& command) {
  std::string line = "runuser -u postgres -- " + command + " >>" + folder + "/commands.log 2>&1";
  return std::system(line.c_str()) == 0;
}

std::string randomHex() {
  std::random_device random;
  char text[33];
  std::snprintf(text, sizeof text, "%08x%08x%08x%08x", random(), random(), random(), random());
  return text;
}

}  // namespace

PgCluster* PgCluster::get() {
  if (!tried) {
    tried = true;
    std::unique_ptr<PgCluster> made(new PgCluster);
    if (made->create(problem)) {
      cluster = std::move(made);
    } else if (!made->folder_.empty()) {
      // Nothing of a half-made cluster stays: the watcher sees the pipe close and cleans up.
      if (made->watcherPipe_ >= 0) close(made->watcherPipe_);
    }
  }
  return cluster.get();
}

const std::string& PgCluster::why() {
  return problem;
}

bool PgCluster::create(std::string& why) {
  std::error_code error;
  if (!std::filesystem::exists(std::string(kBin) + "initdb", error)) {
    why = "PostgreSQL 15 is not installed";
    return false;
  }
  passwd* postgres = getpwnam("postgres");
  if (!postgres) {
    why = "no postgres user";
    return false;
  }
  folder_ = (std::filesystem::temp_directory_path() / ("qv-pg-" + randomHex().substr(0, 12))).string();
  std::filesystem::create_directories(folder_ + "/data");
  // The watcher: a shell waiting for this process's end of a pipe to close, however it ends, then
  // stopping the postmaster named in the pid file (only if it is a postgres process) and removing the folder.
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    why = "no pipe for the watcher";
    return false;
  }
  std::string script = "read -r _; pid=$(head -n 1 " + folder_ + "/data/postmaster.pid 2>/dev/null);" +
                       " if [ -n \"$pid\" ] && grep -q postgres /proc/$pid/comm 2>/dev/null; then kill -QUIT $pid;" +
                       " sleep 1; kill -KILL $pid 2>/dev/null; fi; rm -rf " + folder_;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  const char* argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
  pid_t watcher = 0;
  int spawned = posix_spawn(&watcher, "/bin/sh", &actions, &attributes, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(ends[0]);
  watcherPipe_ = ends[1];
  if (spawned != 0) {
    why = "the watcher did not start";
    return false;
  }

  password_ = randomHex();
  std::ofstream(folder_ + "/password") << password_ << "\n";
  std::filesystem::permissions(folder_ + "/password", std::filesystem::perms::owner_read, error);
  for (const std::string& path : {folder_, folder_ + "/data", folder_ + "/password"}) {
    if (chown(path.c_str(), postgres->pw_uid, postgres->pw_gid) != 0) {
      why = "cannot hand " + path + " to postgres";
      return false;
    }
  }
  // Local socket connections trusted; over TCP the password is asked for, as on a real server.
  if (!asPostgres(folder_, std::string(kBin) + "initdb -D " + folder_ + "/data -U postgres --pwfile=" + folder_ +
                               "/password --auth-local=trust --auth-host=scram-sha-256 --no-sync -E UTF8 " +
                               "--locale=C.UTF-8 --no-instructions")) {
    why = "initdb failed (see " + folder_ + "/commands.log)";
    return false;
  }
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = freePort();
    if (start()) return true;
  }
  why = "the server did not start (see " + folder_ + "/commands.log)";
  return false;
}

bool PgCluster::start() {
  // No fsync (the machine does not crash under a test), but every commit reaches the log before it
  // returns: a test stops the server the hard way and expects what was committed to be there after.
  return asPostgres(folder_, std::string(kBin) + "pg_ctl -D " + folder_ + "/data -l " + folder_ +
                                 "/server.log -w -t 60 -o \"-k " + folder_ + " -c listen_addresses=127.0.0.1 -p " +
                                 std::to_string(port_) + " -c fsync=off" + " -c max_connections=300\" start");
}

bool PgCluster::stop() {
  return asPostgres(folder_, std::string(kBin) + "pg_ctl -D " + folder_ + "/data -m immediate -w -t 30 stop");
}

void PgCluster::shutDown() {
  if (!cluster) return;
  if (!cluster->stop()) {
    std::ifstream pidFile(cluster->folder_ + "/data/postmaster.pid");
    pid_t pid = 0;
    if (pidFile >> pid && pid > 0) kill(pid, SIGQUIT);
  }
  std::error_code error;
  std::filesystem::remove_all(cluster->folder_, error);
  close(cluster->watcherPipe_);  // the watcher finds nothing left and ends
  cluster.reset();
}

std::string PgCluster::uri(const std::string& database) const {
  return "postgresql://postgres:" + password_ + "@127.0.0.1:" + std::to_string(port_) + "/" + database;
}

std::string PgCluster::fresh() {
  std::string name = "qv_" + std::to_string(++databases_);
  PGconn* admin = PQconnectdb(uri("postgres").c_str());
  PGresult* made = PQstatus(admin) == CONNECTION_OK ? PQexec(admin, ("CREATE DATABASE " + name).c_str()) : nullptr;
  bool ok = PQresultStatus(made) == PGRES_COMMAND_OK;
  std::string why = PQerrorMessage(admin);
  PQclear(made);
  PQfinish(admin);
  if (!ok) throw std::runtime_error("database " + name + " not made: " + why);
  return uri(name);
}

bool PgCluster::drop(const std::string& uri) {
  std::string name = uri.substr(uri.rfind('/') + 1);
  PGconn* admin = PQconnectdb(this->uri("postgres").c_str());
  PGresult* dropped = PQstatus(admin) == CONNECTION_OK ? PQexec(admin, ("DROP DATABASE " + name).c_str()) : nullptr;
  bool ok = PQresultStatus(dropped) == PGRES_COMMAND_OK;
  PQclear(dropped);
  PQfinish(admin);
  return ok;
}
