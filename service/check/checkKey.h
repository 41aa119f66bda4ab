#pragma once
// The secret a checker and its check target share: the target signs every answer with it, so a proxy
// that makes an answer up, or replays an old one, is found out (checkAnswer.h). One file of raw bytes,
// by default check.key beside the executable, created on first use, so every service of one
// installation shares it without a word; a target elsewhere is given a copy of the file.
#include <cstddef>
#include <optional>
#include <string>

inline constexpr std::size_t kCheckKeyBytes = 32;  // what a new key holds
inline constexpr std::size_t kMinCheckKeyBytes = 16;
inline constexpr std::size_t kMaxCheckKeyBytes = 1024;
inline constexpr char kCheckKeyFileName[] = "check.key";

struct CheckKey {
  std::string bytes;  // raw; empty: no key

  bool empty() const { return bytes.empty(); }
  bool operator==(const CheckKey&) const = default;
};

// kCheckKeyBytes fresh random bytes; empty when the system gives none.
std::optional<CheckKey> freshCheckKey();

// The key in `path`, created (mode 0600, fresh random bytes) when no file is there. Two processes
// creating it at once agree: each writes a file of its own and links it into place, and the one that
// comes second reads the key of the first. Empty, with `error` set, when the file cannot be read or
// created or holds fewer than kMinCheckKeyBytes or more than kMaxCheckKeyBytes.
std::optional<CheckKey> loadCheckKey(const std::string& path, std::string& error);
