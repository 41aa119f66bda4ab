#pragma once
// What the service's tests share: temporary folders, stores, and reading a page the way the program does.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "service/sources/importCommand.h"
#include "service/store/poolSnapshot.h"
#include "service/store/poolStore.h"
#include "tests/soak/queryMix.h"

// What a command wrote to the FILE* it was given.
struct Captured {
  Captured() : file(std::tmpfile()) {}
  ~Captured() { std::fclose(file); }
  Captured(const Captured&) = delete;
  Captured& operator=(const Captured&) = delete;
  std::string text() {
    std::fflush(file);
    std::rewind(file);
    std::string result;
    for (int c; (c = std::fgetc(file)) != EOF;) result += static_cast<char>(c);
    return result;
  }
  std::FILE* file;
};

// A fresh folder under the system's temporary folder, removed with what it holds.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("qv-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  std::string write(const std::string& name, const std::string& content) const {
    std::ofstream(path_ / name, std::ios::binary) << content;
    return file(name);
  }

 private:
  std::filesystem::path path_;
};

// The repository's folder, for the shipped pool and the fetched region database.
inline std::filesystem::path sourceFolder() {
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

// The region database scripts/setup fetches; tests that need it skip without it.
inline std::string regionDbPath() {
  return (sourceFolder() / "build" / "data" / "ip2region.db").string();
}

// A UTF-8 text written as a u8 literal: plain literals are GBK in this build.
inline std::string utf8(std::u8string_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size()};
}

using soak::percentAll;  // every byte as %XX, as the program sends its values

// The entries a page lists, as the program reads them.
inline std::vector<std::string> listedEntries(std::string_view page) {
  return soak::listedIn(page).entries;
}

inline std::unique_ptr<PoolStore> openStore(const std::string& path) {
  std::string error;
  std::unique_ptr<PoolStore> store = PoolStore::open(path, error);
  EXPECT_TRUE(store) << path << ": " << error;
  return store;
}

// Imports a file or address, its report going nowhere.
inline bool importQuietly(PoolStore& store, const std::string& source, const IpRegionDb* regions = nullptr) {
  std::FILE* quiet = std::fopen("/dev/null", "w");
  bool read = importSource(store, source, regions, quiet, quiet);
  std::fclose(quiet);
  return read;
}

// The shipped pool as a fresh server serves it unchecked: imported into a store in memory.
inline std::shared_ptr<PoolSnapshot> shippedSnapshot() {
  std::unique_ptr<PoolStore> store = openStore(":memory:");
  importQuietly(*store, (sourceFolder() / "service" / "pool.txt").string());
  return buildSnapshot(store->all(), false);
}

// The one-row answer of a PRAGMA on a database file, read past the store.
inline std::string pragmaOf(const std::string& path, const std::string& pragma) {
  sqlite3* raw = nullptr;
  std::string answer;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_open(path.c_str(), &raw) == SQLITE_OK &&
      sqlite3_prepare_v2(raw, ("PRAGMA " + pragma).c_str(), -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    answer = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  }
  sqlite3_finalize(statement);
  sqlite3_close(raw);
  return answer;
}
