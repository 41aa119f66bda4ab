#pragma once
// A program a benchmark runs (the service, sqlite3, psql) as its child, standard output and error into a
// file. It never outlives the benchmark: the destructor kills it by its own pid and reaps it, and the kernel
// kills it should the benchmark die first.
#include <sys/types.h>

#include <string>
#include <vector>

class ChildProgram {
 public:
  // argv[0] is the program's path. Throws std::runtime_error when it cannot be started.
  ChildProgram(const std::vector<std::string>& argv, const std::string& outputFile);
  ~ChildProgram();
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  pid_t pid() const { return pid_; }
  void signal(int number);
  // Waits for its end: its exit status, or 128 + the signal that ended it.
  int wait();

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// Runs the program to its end; its exit status as ChildProgram::wait says it.
int runProgram(const std::vector<std::string>& argv, const std::string& outputFile);

// The file's text (a child's output), for a report when something went wrong.
std::string fileText(const std::string& path);
