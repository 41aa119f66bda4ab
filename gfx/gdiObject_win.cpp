#include "gfx/gdiObject.h"

Gdiplus::Status lastStatus = Gdiplus::Ok;
