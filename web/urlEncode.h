#pragma once
// Percent-encoding of one query value, byte by byte.
#include <string_view>

#include "toolkit/valueModel.h"

// Every byte becomes "%" and two upper-case hex digits, except, with keepSafe, "-", ".", the
// digits and the ASCII letters, which stay as they are. asUtf8 encodes the text's UTF-8 form
// instead of its GBK bytes. A space is always %20, never "+".
Text urlEncode(std::string_view text, bool keepSafe = false, bool asUtf8 = false);
