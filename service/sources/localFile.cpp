#include "service/sources/localFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <utility>

namespace {

// A line spans blocks at most once per block: big enough that a list costs few reads.
constexpr std::size_t kBlockBytes = 256 * 1024;

std::string notRegular(mode_t mode) {
  const char* kind = S_ISDIR(mode)                    ? "a folder"
                     : S_ISFIFO(mode)                 ? "a FIFO"
                     : S_ISSOCK(mode)                 ? "a socket"
                     : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                                      : "not a file";
  return std::string("not a regular file (") + kind + ")";
}

std::string tooLarge(std::size_t maxBytes) {
  return "larger than " + std::to_string(maxBytes) + " bytes";
}

}  // namespace

LocalSource::LocalSource(const std::string& path, std::size_t maxBytes) : maxBytes_(maxBytes) {
  struct stat named {};
  if (stat(path.c_str(), &named) != 0) {
    error_ = "cannot open";
    return;
  }
  if (!S_ISREG(named.st_mode)) {
    error_ = notRegular(named.st_mode);
    return;
  }
  // The path may have changed since: O_NONBLOCK keeps an open of a FIFO put there from waiting for
  // a writer, and the descriptor's own kind and identity are checked again.
  fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat opened {};
  if (fd_ < 0 || fstat(fd_, &opened) != 0) {
    error_ = "cannot open";
  } else if (!S_ISREG(opened.st_mode)) {
    error_ = notRegular(opened.st_mode);
  } else if (opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
    error_ = "replaced while opened";
  } else if (static_cast<std::size_t>(opened.st_size) > maxBytes) {
    error_ = tooLarge(maxBytes);
  }
}

LocalSource::~LocalSource() {
  if (fd_ >= 0) close(fd_);
}

LocalSource::LocalSource(LocalSource&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), maxBytes_(other.maxBytes_), error_(std::move(other.error_)) {}

LocalSource LocalSource::standardInput(std::size_t maxBytes) {
  LocalSource source(maxBytes);
  struct stat given {};
  if (fstat(STDIN_FILENO, &given) != 0) {
    source.error_ = "cannot read";
  } else if (S_ISREG(given.st_mode)) {
    source.fd_ = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    if (source.fd_ < 0) source.error_ = "cannot read";
    if (static_cast<std::size_t>(given.st_size) > maxBytes) source.error_ = tooLarge(maxBytes);
  } else if (S_ISDIR(given.st_mode)) {
    source.error_ = notRegular(given.st_mode);
  } else {
    std::string folder = std::filesystem::temp_directory_path().string();
    source.fd_ = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (source.fd_ < 0) {
      source.error_ = "cannot make a temporary file in " + folder;
      return source;
    }
    // The copy is bounded by the cap like any read; lines() then reads it again from its start.
    std::unique_ptr<char[]> block(new char[kBlockBytes]);
    std::size_t total = 0;
    LocalSource input(maxBytes);
    input.fd_ = STDIN_FILENO;
    for (long got; (got = input.next(block.get(), kBlockBytes, total)) != 0;) {
      if (got < 0 || write(source.fd_, block.get(), static_cast<std::size_t>(got)) != got) {
        source.error_ = got < 0 ? input.error_ : "cannot write a temporary file in " + folder;
        break;
      }
    }
    input.fd_ = -1;  // standard input stays open
  }
  return source;
}

long LocalSource::next(char* block, std::size_t size, std::size_t& total) {
  for (;;) {
    ssize_t got = read(fd_, block, size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error_ = "cannot read";
      return -1;
    }
    // Read to the end, not to the size seen: the file may grow, never past the cap.
    total += static_cast<std::size_t>(got);
    if (total > maxBytes_) {
      error_ = tooLarge(maxBytes_);
      return -1;
    }
    return static_cast<long>(got);
  }
}

bool LocalSource::lines(const std::function<void(std::string_view)>& line) {
  if (!ok()) return false;
  if (lseek(fd_, 0, SEEK_SET) != 0) {
    error_ = "cannot read";
    return false;
  }
  std::unique_ptr<char[]> block(new char[kBlockBytes]);
  std::string carried;  // a line begun in an earlier block
  std::size_t total = 0;
  for (;;) {
    long got = next(block.get(), kBlockBytes, total);
    if (got < 0) return false;
    if (got == 0) break;
    std::string_view rest(block.get(), static_cast<std::size_t>(got));
    for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(end + 1)) {
      if (carried.empty()) {
        line(rest.substr(0, end));
      } else {
        carried.append(rest.substr(0, end));
        line(carried);
        carried.clear();
      }
    }
    carried.append(rest);
  }
  if (!carried.empty()) line(carried);
  return true;
}

bool LocalSource::readAll(std::string& content) {
  if (!ok()) return false;
  if (lseek(fd_, 0, SEEK_SET) != 0) {
    error_ = "cannot read";
    return false;
  }
  struct stat opened {};
  content.resize(fstat(fd_, &opened) == 0 ? static_cast<std::size_t>(opened.st_size) : 0);
  std::size_t filled = 0;
  std::size_t total = 0;
  for (;;) {
    if (filled == content.size()) content.resize(std::min(maxBytes_ + 1, filled * 2 + 4096));
    long got = next(content.data() + filled, content.size() - filled, total);
    if (got < 0) {
      content.clear();
      return false;
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  content.resize(filled);
  return true;
}

LocalFile readLocalFile(const std::string& path, std::size_t maxBytes) {
  LocalFile result;
  LocalSource source(path, maxBytes);
  result.ok = source.readAll(result.content);
  result.error = source.error();
  return result;
}
