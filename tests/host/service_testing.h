#pragma once
// Reading a service page the way the program does: the text between the two markers, split at "<BR>"
// with no empty piece after a final separator.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "extract/markers.h"
#include "service/importCommand.h"
#include "service/poolSnapshot.h"
#include "service/poolStore.h"

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

 private:
  std::filesystem::path path_;
};

// The repository's folder, for the shipped pool and the fetched region database.
inline std::filesystem::path sourceFolder() {
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

// A UTF-8 text written as a u8 literal: plain literals are GBK in this build.
inline std::string utf8(std::u8string_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size()};
}

// Empty optional-like result: `found` false when either marker is missing.
struct CutList {
  bool found = false;
  std::string list;
};

inline CutList cutList(std::string_view page) {
  std::size_t start = page.find(kListStartMarker);
  if (start == std::string_view::npos) return {};
  start += std::string_view(kListStartMarker).size();
  std::size_t end = page.find(kListEndMarker, start);
  if (end == std::string_view::npos) return {};
  return {true, std::string(page.substr(start, end - start))};
}

inline std::vector<std::string> splitEntries(std::string_view list) {
  std::vector<std::string> pieces;
  const std::string_view separator = kListSeparator;
  while (!list.empty()) {
    std::size_t at = list.find(separator);
    pieces.emplace_back(list.substr(0, at));
    list.remove_prefix(at == std::string_view::npos ? list.size() : at + separator.size());
  }
  return pieces;
}

// Every byte as %XX, as the program sends its values.
inline std::string percentEncoded(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string result;
  for (unsigned char byte : bytes) {
    result += '%';
    result += kHex[byte >> 4];
    result += kHex[byte & 15];
  }
  return result;
}

// The shipped pool as a fresh server serves it unchecked: imported into a store in memory.
inline std::shared_ptr<PoolSnapshot> shippedSnapshot() {
  std::string error;
  std::unique_ptr<PoolStore> store = PoolStore::open(":memory:", error);
  std::FILE* quiet = std::fopen("/dev/null", "w");
  importSource(*store, (sourceFolder() / "service" / "pool.txt").string(), nullptr, quiet, quiet);
  std::fclose(quiet);
  return buildSnapshot(store->all(), false);
}
