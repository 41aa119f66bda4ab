// Entry point of every Windows test program. "--child <name>" runs a registered child scenario
// instead of the tests: cases that must end the process (a runtime error box) run in a child.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "support/childProcess.h"

int main(int argc, char** argv) {
  // Windows that lose activation start the working-set trim. Without a usable "windir" it trims
  // directly instead of writing and running the tool in the real Windows folder; the trim tests
  // point "windir" at scratch folders of their own.
  SetEnvironmentVariableA("windir", nullptr);
  if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) return runChildScenario(argv[2]);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
