#pragma once
// The trim tool (resources/trimTool/empty.cpp) as built, carried as a byte set and written out by
// the working-set trim.
#include "resources/embedded.h"

QV_EMBEDDED(qv_trim_tool);
