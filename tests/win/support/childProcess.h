#pragma once
// Child scenarios: code that a test runs in a separate process of the same test program, for
// behaviour that ends the process or must start from a fresh one.
#include <windows.h>

#include <functional>
#include <string>

using ChildScenario = std::function<int()>;

// Registers a scenario by name (use at namespace scope through QV_CHILD_SCENARIO).
bool registerChildScenario(const char* name, ChildScenario scenario);
int runChildScenario(const char* name);

#define QV_CHILD_SCENARIO(name)                                                                          \
  static int childScenario_##name();                                                                     \
  static const bool childScenarioRegistered_##name = registerChildScenario(#name, childScenario_##name); \
  static int childScenario_##name()

struct ChildResult {
  DWORD exitCode = 0;
  bool finished = false;
};

// Starts this program with "--child name" and, while it runs, calls onWait (for example to
// find and close a message box) every 50 ms until the child ends or timeoutMs passes.
ChildResult runChild(const char* name, DWORD timeoutMs, const std::function<void(DWORD processId)>& onWait = {});
