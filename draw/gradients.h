#pragma once
// Vertical linear gradients, the fill behind most of the skin's surfaces.
#include "gfx/graphics.h"
#include "gfx/path.h"

// Fills a rectangle with a vertical linear gradient from colour1 at top to colour2 at top +
// height (both ARGB). A helper for the many gradients of the skin.
void fillVerticalGradient(Graphics& graphics, float x, float y, float width, float height, Argb colour1, Argb colour2);
void fillPathVerticalGradient(Graphics& graphics, const GraphicsPath& path, float top, float bottom, Argb colour1,
                              Argb colour2);
