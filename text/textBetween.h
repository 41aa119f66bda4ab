#pragma once
// Cuts the text between a start marker and the first end marker after it.
#include <string_view>

#include "toolkit/valueModel.h"

// The bytes after the first occurrence of startMarker (searched from startPos; below 1 means the
// beginning) up to the first endMarker after it; empty when either is missing. Only the first start
// marker counts. "#引号" in a marker stands for a double quote, so callers can write quoted markers.
// An empty start marker means the beginning of the text; an empty end marker gives the empty text.
Text textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker, int startPos = 0,
                 bool ignoreCase = false);
