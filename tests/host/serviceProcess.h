#pragma once
// The real service program as a child of the test, its output on a pipe the test reads line by line.
// It never outlives the test: the destructor kills it (by its own pid) and reaps it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

struct ServiceLaunch {
  bool withErrors = false;   // standard error joins standard output on the pipe
  rlim_t openFilesSoft = 0;  // when not 0, the child's soft limit of open files
  rlim_t openFilesHard = 0;  // when not 0, its hard limit
};

class ServiceProcess {
 public:
  explicit ServiceProcess(std::vector<std::string> arguments, ServiceLaunch launch = {}) {
    int pipeEnds[2];
    EXPECT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);
    arguments.insert(arguments.begin(), QV_SERVICE_EXE);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    if (launch.openFilesSoft != 0) files.rlim_cur = launch.openFilesSoft;
    if (launch.openFilesHard != 0) files.rlim_max = launch.openFilesHard;
    pid_ = fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls between fork and exec: the test has threads. As from a shell: every
      // signal at its default and none blocked, whatever this test process set (an ignored signal stays
      // ignored across exec, which would hide a program that forgets to ignore SIGPIPE itself).
      for (int number = 1; number < NSIG; ++number) ::signal(number, SIG_DFL);
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      dup2(pipeEnds[1], STDOUT_FILENO);
      if (launch.withErrors) dup2(pipeEnds[1], STDERR_FILENO);
      setrlimit(RLIMIT_NOFILE, &files);
      execv(QV_SERVICE_EXE, argv.data());
      _exit(127);
    }
    EXPECT_GT(pid_, 0);
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

  // Every line until its output ends (or `timeoutMs` passes without a line).
  std::vector<std::string> readAll(int timeoutMs = 60000) {
    std::vector<std::string> lines;
    for (std::string line = readLine(timeoutMs); !line.empty(); line = readLine(timeoutMs)) lines.push_back(line);
    return lines;
  }

  void signal(int number) const {
    if (pid_ > 0) kill(pid_, number);
  }

  // Its wait status once it ended by itself, or -1 after `timeoutMs` (it is then killed, so a test never
  // leaves it behind).
  int wait(int timeoutMs = 60000) {
    for (int waited = 0; pid_ > 0 && waited < timeoutMs; waited += 10) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
      usleep(10000);
    }
    stop(SIGKILL);
    return -1;
  }

  // Sends the signal and waits for the end.
  void stop(int number) {
    if (pid_ <= 0) return;
    kill(pid_, number);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
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
