#include "childProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

ChildProgram::ChildProgram(const std::vector<std::string>& argv, const std::string& outputFile) {
  std::vector<std::string> copies = argv;
  std::vector<char*> pointers;
  for (std::string& argument : copies) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  const int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (output < 0) throw std::runtime_error("cannot write " + outputFile);
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls until exec. Should the benchmark die first, the program dies with it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    int input = open("/dev/null", O_RDONLY);
    dup2(input, STDIN_FILENO);
    dup2(output, STDOUT_FILENO);
    dup2(output, STDERR_FILENO);
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  close(output);
  if (pid < 0) throw std::runtime_error("cannot start " + argv[0]);
  pid_ = pid;
}

ChildProgram::~ChildProgram() {
  if (status_ >= 0 || pid_ <= 0) return;
  kill(pid_, SIGKILL);
  wait();
}

void ChildProgram::signal(int number) {
  if (status_ < 0 && pid_ > 0) kill(pid_, number);
}

int ChildProgram::wait() {
  if (status_ >= 0) return status_;
  int raw = 0;
  while (waitpid(pid_, &raw, 0) < 0) {
    if (errno != EINTR) return status_ = 255;
  }
  status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return status_;
}

int runProgram(const std::vector<std::string>& argv, const std::string& outputFile) {
  ChildProgram child(argv, outputFile);
  return child.wait();
}

std::string fileText(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}
