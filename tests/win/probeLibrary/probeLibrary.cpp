// A library of our own for the declared-function tests, built next to the test programs: a
// library that only the program's own folder holds.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI qvProbeAnswer() {
  return 42;
}
