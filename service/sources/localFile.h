#pragma once
// A local file to import from. Only a regular file is read: a FIFO, device or socket could keep a reader
// waiting for ever, and a folder has no content.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

struct LocalFile {
  bool ok = false;
  std::string content;
  std::string error;  // "cannot open", "not a regular file (a FIFO)", "larger than N bytes", …
};

// The file read whole.
LocalFile readLocalFile(const std::string& path, std::size_t maxBytes);

// The file opened once and read from its start as often as needed, in blocks: a list is looked over, then
// read, without its content ever held whole. Refused, as readLocalFile refuses, past `maxBytes`.
class LocalSource {
 public:
  LocalSource(const std::string& path, std::size_t maxBytes);
  // Standard input: read where it is a regular file, otherwise (a pipe, a terminal) first copied, in
  // blocks and up to the cap, into a temporary file no name points to, removed with the descriptor.
  static LocalSource standardInput(std::size_t maxBytes);
  ~LocalSource();
  LocalSource(LocalSource&& other) noexcept;
  LocalSource(const LocalSource&) = delete;
  LocalSource& operator=(const LocalSource&) = delete;
  LocalSource& operator=(LocalSource&&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  // Each line in turn, without its "\n" (the last one too when it has none); false with error() set when
  // the file could not be read or grew past the cap. Only the line at hand is held whole.
  bool lines(const std::function<void(std::string_view)>& line);
  // The whole content; false with error() set.
  bool readAll(std::string& content);

 private:
  // The next block from where the file is read; 0 at its end, -1 on an error (error() set).
  explicit LocalSource(std::size_t maxBytes) : maxBytes_(maxBytes) {}
  long next(char* block, std::size_t size, std::size_t& total);

  int fd_ = -1;
  std::size_t maxBytes_;
  std::string error_;
};
