#pragma once
// The content of an import source: a local file, or an http:// or https:// address fetched with
// libcurl. Either is refused beyond a size cap, so a wrong address cannot fill the memory.
#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t kMaxSourceBytes = 64 * 1024 * 1024;

struct SourceContent {
  bool ok = false;
  std::string content;
  std::string error;  // why it could not be read, when !ok
};

// An http:// or https:// address, as opposed to a local file.
bool isWebSource(std::string_view source);

// A local file must be a regular file (see localFile.h).
SourceContent readSource(const std::string& source, std::size_t maxBytes = kMaxSourceBytes);
