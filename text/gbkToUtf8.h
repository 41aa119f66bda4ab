#pragma once
// GBK (code page 936) to UTF-8, as Windows converts it.
#include <string_view>

#include "toolkit/valueModel.h"

// The UTF-8 form of the text up to its first zero byte.
Text gbkToUtf8(std::string_view text);
