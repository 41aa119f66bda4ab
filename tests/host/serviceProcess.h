#pragma once
// The real service program run by a test, its standard output on a pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>  // std::chrono: <chrono> itself holds a "µs" that GBK cannot hold
#include <thread>
#include <vector>

extern char** environ;

class ServiceProcess {
 public:
  explicit ServiceProcess(std::vector<std::string> arguments) {
    int pipeEnds[2];
    EXPECT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    arguments.insert(arguments.begin(), QV_SERVICE_EXE);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    // As from a shell: every signal at its default and none blocked, whatever this test process set
    // (a server library in it may ignore SIGPIPE, and an ignored signal stays ignored across exec).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    EXPECT_EQ(posix_spawn(&pid_, QV_SERVICE_EXE, &actions, &attributes, argv.data(), environ), 0);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    out_ = pipeEnds[0];
  }
  ~ServiceProcess() {
    stop(SIGKILL);
    close(out_);
  }
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  pid_t pid() const { return pid_; }

  // The next line of its output, or empty after `timeoutMs` or at its end.
  std::string readLine(int timeoutMs = 30000) {
    for (int waited = 0; waited < timeoutMs;) {
      std::size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      pollfd entry{out_, POLLIN, 0};
      if (poll(&entry, 1, 100) <= 0) {
        waited += 100;
        continue;
      }
      char bytes[4096];
      ssize_t got = read(out_, bytes, sizeof bytes);
      if (got <= 0) return {};
      buffer_.append(bytes, static_cast<std::size_t>(got));
    }
    return {};
  }

  // Sends the signal and waits for the end.
  void stop(int signal) {
    if (pid_ <= 0) return;
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  void signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
  }

  // The wait status once it has ended, or -1 when it is still running after `timeoutMs` (it is then
  // killed, so a test never leaves it behind).
  int waitExit(int timeoutMs) {
    if (pid_ <= 0) return -1;
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stop(SIGKILL);
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

// The port named at the end of the start-up line ("...listening on http://127.0.0.1:PORT").
inline int portOfStartLine(const std::string& line) {
  std::size_t at = line.rfind(':');
  return at == std::string::npos ? 0 : std::atoi(line.c_str() + at + 1);
}
