#include <cstdio>
#include <cstdlib>

#include "toolkit/runtimeError.h"

void raiseRuntimeError(int number, std::string_view message) {
  std::string text = runtimeErrorText(number, message);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
  std::_Exit(-1);
}
