#pragma once
// Open files for the checks in flight: each holds a socket, so `--parallel` decides how many
// descriptors the process needs. Raised at start rather than met as EMFILE in the middle of a round.
#include <cstddef>
#include <cstdint>
#include <string>

// Descriptors kept aside beside the checks: the store (its file, journal and shared memory), standard
// streams, libcurl's own; and, serving, the listener and the server's connections.
inline constexpr std::size_t kFilesBesideChecks = 64;
inline constexpr std::size_t kFilesForServing = 256;

// Each connection and each check in flight is a file descriptor, and the usual soft limit is 1,024.
struct OpenFileLimit {
  std::uint64_t soft = 0;  // in force now
  std::uint64_t hard = 0;
};

// Raises the process's open-file soft limit toward `wanted`, never past the hard limit (only a privileged
// process may raise that), and never lowers it. Returns the limits in force after.
OpenFileLimit raiseOpenFileLimit(std::uint64_t wanted);

// Raises the soft limit of open files to `parallel` plus `reserve` when it is lower, up to the hard
// limit. Empty when the process now has enough; otherwise what to tell the user ("--parallel 1000 needs
// about 1064 open files; the limit is 512 (hard)").
std::string raiseOpenFileLimit(std::size_t parallel, std::size_t reserve);
