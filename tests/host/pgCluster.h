#pragma once
// A private PostgreSQL cluster for the tests and the benchmarks: made with initdb in a temporary folder on
// the first use, listening on 127.0.0.1 at a free port (and on a socket in that folder), stopped and
// removed by shutDown() — the tests call it once the test binary ends (pgClusterTeardown.cpp), a benchmark
// before it returns — and also when the program ends by a crash (a watcher process removes it when this
// one is gone). Never a cluster the program did not start. No gtest here: a benchmark links it too.
// A database per test: fresh() names a new one.
#include <memory>
#include <string>

class PgCluster {
 public:
  // The running cluster, started on the first call; null (with why()) when PostgreSQL is not installed
  // or would not start.
  static PgCluster* get();
  static const std::string& why();
  // Stops the cluster if it was started: by pg_ctl, or by the postmaster's pid when pg_ctl fails.
  static void shutDown();

  // A new empty database, as a URI with the superuser's password. Throws std::runtime_error when the
  // server will not make it.
  std::string fresh();
  // Drops a database fresh() made, named by its URI; false when the server would not.
  bool drop(const std::string& uri);
  std::string uri(const std::string& database) const;
  int port() const { return port_; }
  const std::string& password() const { return password_; }
  const std::string& folder() const { return folder_; }
  // pg_ctl stop -m immediate / start again at the same port: the server going away under a service.
  bool stop();
  bool start();

 private:
  PgCluster() = default;
  bool create(std::string& why);

  std::string folder_;
  std::string password_;
  int port_ = 0;
  int databases_ = 0;
  int watcherPipe_ = -1;  // its end closing tells the watcher to clean up
};
