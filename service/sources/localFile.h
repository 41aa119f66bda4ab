#pragma once
// A local file read whole. Only a regular file is read: a FIFO, device or socket could keep a reader
// waiting for ever, and a folder has no content.
#include <cstddef>
#include <string>

struct LocalFile {
  bool ok = false;
  std::string content;
  std::string error;  // "cannot open", "not a regular file (a FIFO)", "larger than N bytes", …
};

LocalFile readLocalFile(const std::string& path, std::size_t maxBytes);
