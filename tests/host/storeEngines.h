#pragma once
// The store's tests run on both engines: a fixture parameterised by the engine that hands out new stores
// (a file in a temporary folder, or a new database in the tests' private PostgreSQL cluster) and runs SQL
// past the store, as another process would.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string>

#include "pgCluster.h"
#include "service/store/poolStore.h"
#include "service_testing.h"

enum class Engine { sqlite, postgres };

inline std::string engineName(const testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::sqlite ? "Sqlite" : "Postgres";
}

// A connection of its own to a store, past the store's code.
class RawConnection {
 public:
  RawConnection(Engine engine, const std::string& target) : engine_(engine) {
    if (engine_ == Engine::sqlite) {
      EXPECT_EQ(sqlite3_open(target.c_str(), &sqlite_), SQLITE_OK);
    } else {
      pg_ = PQconnectdb(target.c_str());
      EXPECT_EQ(PQstatus(pg_), CONNECTION_OK) << PQerrorMessage(pg_);
    }
  }
  ~RawConnection() {
    if (sqlite_) sqlite3_close(sqlite_);
    if (pg_) PQfinish(pg_);
  }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;
  // Runs statements; false with the message on failure.
  bool run(const std::string& sql, std::string* error = nullptr) {
    if (engine_ == Engine::sqlite) {
      char* message = nullptr;
      bool ok = sqlite3_exec(sqlite_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
      if (!ok && error) *error = message ? message : "";
      sqlite3_free(message);
      return ok;
    }
    PGresult* result = PQexec(pg_, sql.c_str());
    ExecStatusType status = PQresultStatus(result);
    bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok && error) *error = PQerrorMessage(pg_);
    PQclear(result);
    return ok;
  }

 private:
  Engine engine_;
  sqlite3* sqlite_ = nullptr;
  PGconn* pg_ = nullptr;
};

class StoreOnEngine : public testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (GetParam() == Engine::postgres && !PgCluster::get()) {
      if (!std::filesystem::exists("/usr/lib/postgresql/15/bin/initdb")) GTEST_SKIP() << PgCluster::why();
      FAIL() << "no PostgreSQL cluster for the tests: " << PgCluster::why();
    }
  }
  Engine engine() const { return GetParam(); }
  bool onPostgres() const { return GetParam() == Engine::postgres; }
  // A new, empty store's name: a file, or a database.
  std::string newTarget() {
    if (onPostgres()) return PgCluster::get()->fresh();
    return folder_.file("pool-" + std::to_string(++files_) + ".db");
  }
  std::unique_ptr<PoolStore> open(const std::string& target, StoreSettings settings = {}) {
    std::string error;
    std::unique_ptr<PoolStore> store = PoolStore::open(target, error, settings);
    EXPECT_TRUE(store) << error;
    return store;
  }
  std::unique_ptr<PoolStore> fresh(StoreSettings settings = {}) { return open(newTarget(), settings); }

  TempFolder folder_;
  int files_ = 0;
};
