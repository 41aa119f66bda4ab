#pragma once
// Reading a service page the way the program does: the text between the two markers, split at "<BR>"
// with no empty piece after a final separator.
#include <string>
#include <string_view>
#include <vector>

#include "extract/markers.h"

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
