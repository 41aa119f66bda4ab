#pragma once
// The region database the service program finds by itself from the build folder (build/data/, fetched by
// scripts/setup), so a benchmark fills its stores with the regions an import would; empty when absent.
#include <filesystem>
#include <string>

inline std::string regionFileOf(const std::string& serviceProgram) {
  std::filesystem::path path = std::filesystem::path(serviceProgram).parent_path() / ".." / "data" / "ip2region.db";
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) ? std::filesystem::weakly_canonical(path).string() : "";
}
